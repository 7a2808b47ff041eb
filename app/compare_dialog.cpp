#include "app/compare_dialog.h"

#include <QGridLayout>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>

#include "app/strings.h"

namespace morvane::app {
namespace {

// A caption above the face, drawn with square texels: a filtered scale would
// blur the texels the user compares.
void AddFace(QGridLayout& grid, int column, const char* caption, const QImage& face,
             const QString& name) {
    auto* title = new QLabel(QString::fromLatin1(caption));
    title->setAlignment(Qt::AlignHCenter);
    auto* picture = new QLabel;
    picture->setObjectName(name);
    picture->setPixmap(QPixmap::fromImage(
        face.scaled(face.size() * kCompareScale, Qt::IgnoreAspectRatio, Qt::FastTransformation)));
    picture->setFrameShape(QFrame::Box);
    grid.addWidget(title, 0, column);
    grid.addWidget(picture, 1, column, Qt::AlignHCenter);
}

}  // namespace

CCompareDialog::CCompareDialog(int record, const QImage& before, const QImage& after,
                               QWidget* parent)
    : QDialog(parent) {
    setObjectName(QStringLiteral("compareDialog"));
    setWindowTitle(QString::fromLatin1(kCompareTitle).arg(record));
    auto* grid = new QGridLayout(this);
    AddFace(*grid, 0, kAsOpened, before, QStringLiteral("compareBefore"));
    AddFace(*grid, 1, kAsItIsNow, after, QStringLiteral("compareAfter"));
    auto* close = new QPushButton(QString::fromLatin1(kCloseCaption));
    close->setObjectName(QStringLiteral("compareClose"));
    close->setDefault(true);
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    grid->addWidget(close, 2, 0, 1, 2, Qt::AlignRight);
    grid->setSizeConstraint(QLayout::SetFixedSize);
}

}  // namespace morvane::app
