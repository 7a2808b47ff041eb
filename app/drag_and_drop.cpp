// Files dropped on the window are judged by what they hold, not where they
// land: a save state opens as Browse would open it, anywhere, a face
// included; a picture replaces the face it is dropped on, or, dropped beside
// the faces, the selected face. Neither is given the other's refusal.

#include <QDragEnterEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QListWidgetItem>
#include <QMimeData>
#include <QUrl>

#include "app/file_reasons.h"
#include "app/main_dialog.h"
#include "app/strings.h"
#include "app/texture_gallery.h"
#include "texture/picture_hint.h"

namespace morvane::app {
namespace {

// Enough of a file's start to tell a picture by.
constexpr size_t kMagicBytes = 16;

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
    // Whatever is not a picture goes to the load, which says why a file that
    // is no state cannot be opened.
    if (!LooksLikePicture(FirstBytes(path, kMagicBytes))) {
        LoadSaveStateFrom(path, Origin::Named);
        return;
    }
    const QPoint onList = m_textureList->viewport()->mapFrom(this, event->position().toPoint());
    const QListWidgetItem* item = m_textureList->viewport()->rect().contains(onList)
                                      ? m_textureList->itemAt(onList)
                                      : nullptr;
    const int32_t record = item != nullptr ? item->data(kRecordRole).toInt() : SelectedRecord();
    if (record < 0) {
        Tell(QString::fromLatin1(kDropOntoAFace),
             m_textureList->count() == 0 ? QString::fromLatin1(kOpenAStateFirst) : QString());
        return;
    }
    RememberFolder(FileKind::Picture, path);
    ReplaceTextureFrom(record, path);
}

}  // namespace morvane::app
