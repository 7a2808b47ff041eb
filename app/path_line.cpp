#include "app/path_line.h"

#include <QAction>
#include <QClipboard>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMenu>

#include "app/prompts.h"
#include "app/strings.h"

namespace morvane::app {
namespace {

const QString kEllipsis = QStringLiteral("\u2026");

bool Fits(const QFontMetrics& metrics, int width, const QString& text) {
    return metrics.horizontalAdvance(text) <= width;
}

}  // namespace

CPathLine::CPathLine(Prompts& prompts, QWidget* parent) : QLabel(parent), m_prompts(prompts) {
    setTextFormat(Qt::PlainText);
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
    // The shortened text is no use to copy: the menu copies the whole path.
    setTextInteractionFlags(Qt::NoTextInteraction);
    setContextMenuPolicy(Qt::CustomContextMenu);
    connect(this, &QWidget::customContextMenuRequested, this, &CPathLine::OnContextMenu);
}

void CPathLine::SetLine(const QString& before, const std::filesystem::path& path, Folder folder,
                        const QString& after, const QString& toolTip) {
    m_path = PathForDisplay(path);
    const QString separator = QDir::separator();
    const qsizetype cut = m_path.lastIndexOf(separator);
    m_before = before;
    m_folder = folder == Folder::Shown ? m_path.left(cut + 1) : QString();
    m_name = m_path.mid(cut + 1);
    m_after = after;
    setToolTip(toolTip);
    Refit();
}

void CPathLine::Clear() {
    m_path.clear();
    m_before.clear();
    m_folder.clear();
    m_name.clear();
    m_after.clear();
    setToolTip(QString());
    clear();
}

QString CPathLine::Fitted(const QFontMetrics& metrics, int width, const QString& before,
                          const QString& folder, const QString& name, const QString& after) {
    if (Fits(metrics, width, before + folder + name + after)) {
        return before + folder + name + after;
    }
    // The folder gives way from its middle, keeping where it starts and the
    // folder the file is in; at the least it is an ellipsis.
    QString shortFolder;
    if (!folder.isEmpty()) {
        const QString separator = folder.right(1);
        const int room = width - metrics.horizontalAdvance(before + name + after + separator);
        shortFolder = metrics.elidedText(folder.chopped(1), Qt::ElideMiddle, qMax(room, 0));
        if (shortFolder.isEmpty()) {
            shortFolder = kEllipsis;
        }
        shortFolder += separator;
        if (Fits(metrics, width, before + shortFolder + name + after)) {
            return before + shortFolder + name + after;
        }
        shortFolder = kEllipsis + separator;
    }
    // Then the words after the name, from their end.
    const int room = width - metrics.horizontalAdvance(before + shortFolder + name);
    if (room > 0) {
        return before + shortFolder + name + metrics.elidedText(after, Qt::ElideRight, room);
    }
    // Then the folder and the words before it: the name stays, even where
    // the line is too narrow to show it whole.
    if (Fits(metrics, width, before + name)) {
        return before + name;
    }
    return name;
}

void CPathLine::Refit() {
    if (m_path.isEmpty()) {
        clear();
        return;
    }
    setText(Fitted(fontMetrics(), contentsRect().width(), m_before, m_folder, m_name, m_after));
}

void CPathLine::resizeEvent(QResizeEvent* event) {
    QLabel::resizeEvent(event);
    Refit();
}

void CPathLine::OnContextMenu(const QPoint& position) {
    if (m_path.isEmpty()) {
        return;
    }
    QMenu menu(this);
    menu.setObjectName(QStringLiteral("pathLineMenu"));
    const QAction* copy = menu.addAction(QString::fromLatin1(kCopyPath));
    const QAction* open = menu.addAction(QString::fromLatin1(kOpenContainingFolder));
    const QAction* chosen = m_prompts.PopupMenu(menu, mapToGlobal(position));
    if (chosen == copy) {
        QGuiApplication::clipboard()->setText(m_path);
    } else if (chosen == open) {
        const QString folder = QFileInfo(m_path).absolutePath();
        if (!m_prompts.OpenFolder(folder)) {
            m_prompts.ShowMessageBox(window(), QString::fromLatin1(kApplicationName),
                                     QString::fromLatin1(kCouldNotOpenFolder), folder);
        }
    }
}

}  // namespace morvane::app
