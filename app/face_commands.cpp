// What a modder reaches for beyond the first commands: putting a face back as
// it was opened, comparing it large with how it was, and pasting a picture
// onto it from the clipboard.

#include <QBuffer>
#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <QMimeData>
#include <QUrl>
#include <algorithm>
#include <cerrno>

#include "app/compare_dialog.h"
#include "app/main_dialog.h"
#include "app/prompts.h"
#include "app/strings.h"
#include "app/texture_gallery.h"
#include "catalogue/session.h"
#include "catalogue/texture_commands.h"

namespace morvane::app {
namespace {

// A picture file's bytes from the clipboard: a PNG as an editor put it there,
// so that an indexed one keeps its palette, or else the image there, as a
// PNG. Empty when it holds no picture.
std::vector<uint8_t> ClipboardPicture(const QMimeData& mime) {
    QByteArray bytes = mime.data(QStringLiteral("image/png"));
    if (bytes.isEmpty() && mime.hasImage()) {
        const QImage image = qvariant_cast<QImage>(mime.imageData());
        QBuffer buffer(&bytes);
        if (image.isNull() || !buffer.open(QIODevice::WriteOnly) ||
            !image.save(&buffer, "PNG", 100)) {
            bytes.clear();
        }
    }
    return std::vector<uint8_t>(bytes.begin(), bytes.end());
}

}  // namespace

void CMainDialog::OnRevertFace() {
    const int32_t record = SelectedRecord();
    // A face this session has not changed is as opened already.
    const std::vector<int32_t> changed = ChangedFaces(*m_session);
    if (record < 0 || std::find(changed.begin(), changed.end(), record) == changed.end()) {
        return;
    }
    if (!MayWriteOutput({})) {
        return;
    }
    m_keepGalleryPlace = true;
    errno = 0;
    const Error result = RevertTexture(*m_session, *this, record);
    const int reason = errno;
    m_keepGalleryPlace = false;
    Written(result, reason, record, {}, QString(), Reduction::None);
}

void CMainDialog::OnCompareFace() {
    const int32_t record = SelectedRecord();
    if (record < 0) {
        return;
    }
    std::vector<uint8_t> before;
    std::vector<uint8_t> texture;
    std::vector<uint8_t> after;
    Error refusal = BuildOpenedFaceBitmap(*m_session, record, before);
    if (refusal == Error::None) {
        refusal = BuildBitmapExport(*m_session, record, texture, after);
    }
    if (refusal != Error::None) {
        Tell(MessageText(refusal), DetailsFor(refusal, record, {}, 0));
        return;
    }
    CCompareDialog compare(record, FaceImage(before), FaceImage(after), this);
    m_prompts.RunModal(compare);
}

void CMainDialog::OnPaste() {
    const int32_t record = SelectedRecord();
    if (record < 0) {
        Tell(QString::fromLatin1(kSelectAFaceToPaste),
             m_textureList->count() == 0 ? QString::fromLatin1(kOpenAStateFirst) : QString());
        return;
    }
    const QMimeData* mime = QGuiApplication::clipboard()->mimeData();
    if (mime == nullptr) {
        Tell(QString::fromLatin1(kNothingToPaste));
        return;
    }
    // A file copied in a file manager is that file, with its name.
    if (mime->hasUrls() && mime->urls().size() == 1 && mime->urls().front().isLocalFile()) {
        ReplaceTextureFrom(record, mime->urls().front().toLocalFile());
        return;
    }
    const std::vector<uint8_t> picture = ClipboardPicture(*mime);
    if (picture.empty()) {
        Tell(QString::fromLatin1(kNothingToPaste));
        return;
    }
    ReplaceWithPicture(record, picture, {});
}

}  // namespace morvane::app
