// Files dropped on the window: a save state anywhere loads as Browse would
// with that path; a picture on a thumbnail replaces that texture as a
// double-click would with that path.

#include <QDragEnterEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QListWidgetItem>
#include <QMimeData>
#include <QUrl>

#include "app/main_dialog.h"
#include "app/texture_gallery.h"

namespace morvane::app {
namespace {

// The one local file a drag carries, or an empty string.
QString DroppedFile(const QMimeData* mime) {
    if (mime == nullptr || !mime->hasUrls() || mime->urls().size() != 1) {
        return QString();
    }
    const QUrl url = mime->urls().front();
    return url.isLocalFile() ? url.toLocalFile() : QString();
}

}  // namespace

void CMainDialog::dragEnterEvent(QDragEnterEvent* event) {
    if (!DroppedFile(event->mimeData()).isEmpty()) {
        event->acceptProposedAction();
    }
}

void CMainDialog::dragMoveEvent(QDragMoveEvent* event) {
    if (!DroppedFile(event->mimeData()).isEmpty()) {
        event->acceptProposedAction();
    }
}

void CMainDialog::dropEvent(QDropEvent* event) {
    const QString path = DroppedFile(event->mimeData());
    if (path.isEmpty()) {
        return;
    }
    event->acceptProposedAction();
    const QPoint onList = m_textureList->viewport()->mapFrom(this, event->position().toPoint());
    const QListWidgetItem* item =
        m_textureList->viewport()->rect().contains(onList) ? m_textureList->itemAt(onList) : nullptr;
    if (item != nullptr) {
        ReplaceTextureFrom(item->data(kRecordRole).toInt(), path);
    } else {
        LoadSaveStateFrom(path, Origin::Named);
    }
}

}  // namespace morvane::app
