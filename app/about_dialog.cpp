#include "app/about_dialog.h"

#include <QLabel>
#include <QPixmap>
#include <QPushButton>

#include "app/dialog_units.h"
#include "app/strings.h"
#include "app/version_info.h"

namespace morvane::app {
namespace {

QLabel* CentredLine(QWidget* parent, const QString& text, const QRect& where) {
    auto* label = new QLabel(text, parent);
    label->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    label->setTextFormat(Qt::PlainText);
    label->setGeometry(where);
    return label;
}

}  // namespace

CAboutDialog::CAboutDialog(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("aboutDialog"));
    setFont(TemplateFont());
    setWindowTitle(QString::fromLatin1(kAboutTitle));
    const DialogBaseUnits units = BaseUnitsFor(font());

    auto* picture = new QLabel(this);
    picture->setObjectName(QStringLiteral("aboutPicture"));
    const QPixmap pixmap(QStringLiteral(":/about.bmp"));
    picture->setPixmap(pixmap);
    // The picture keeps its own size. The template's frame for it fits it
    // exactly in the font the template was made for; in a wider or narrower
    // font the picture is centred in that frame, so that it stays over the
    // centred lines of text.
    const QRect frame = DialogUnitsToPixels(units, 32, 12, 83, 48);
    QRect place(QPoint(), pixmap.size());
    place.moveCenter(frame.center());
    place.moveTop(frame.top());
    picture->setGeometry(place);

    CentredLine(this, QString::fromLatin1(kAboutVersionLine),
                DialogUnitsToPixels(units, 7, 64, 131, 8));
    CentredLine(this, QString::fromLatin1(kAboutEditionLine),
                DialogUnitsToPixels(units, 7, 72, 131, 8));
    CentredLine(this, QString::fromLatin1(kAboutFileVersionLine).arg(ReadVersionInfo().fileVersion),
                DialogUnitsToPixels(units, 7, 84, 131, 8));

    auto* ok = new QPushButton(QString::fromLatin1(kOkCaption), this);
    ok->setObjectName(QStringLiteral("aboutOk"));
    ok->setGeometry(DialogUnitsToPixels(units, 47, 121, 50, 14));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);

    setFixedSize(DialogUnitsToPixels(units, 145, 142));
}

}  // namespace morvane::app
