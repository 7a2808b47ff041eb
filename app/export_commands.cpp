// The popup menu over a face, and its exports: the face as a bitmap, a PNG or
// a texture file, each said on the bottom line once saved.

#include <QFileInfo>
#include <QListWidgetItem>
#include <QMenu>
#include <algorithm>
#include <cerrno>

#include "app/main_dialog.h"
#include "app/path_line.h"
#include "app/prompts.h"
#include "app/resource_ids.h"
#include "app/strings.h"
#include "app/texture_gallery.h"
#include "catalogue/session.h"
#include "catalogue/texture_commands.h"
#include "common/file_io.h"

namespace morvane::app {
namespace {

std::filesystem::path WithSuffix(const std::filesystem::path& path, const char* suffix) {
    std::filesystem::path result = path;
    result += suffix;
    return result;
}

}  // namespace

void CMainDialog::OnSaveAsBitmap() {
    SaveSelectedTexture(&SaveAsBitmap, kBitmapFilters, "bmp");
}

void CMainDialog::OnSaveAsTexture() {
    SaveSelectedTexture(&SaveAsTexture, kTextureFilters, "tex");
}

void CMainDialog::OnSaveAsPng() {
    SaveSelectedTexture(&SaveAsPng, kPngFilters, "png");
}

void CMainDialog::SaveSelectedTexture(SaveFlow save, const char* filters, const char* suffix) {
    const int32_t record = SelectedRecord();
    if (record < 0) {
        return;
    }
    QString start = StartFolder(FileKind::Export);
    std::filesystem::path path;
    for (;;) {
        const QString chosen = m_prompts.GetSaveFileName(
            this, FileDialogSpec{QString::fromLatin1(filters), QString::fromLatin1(suffix), start});
        if (chosen.isEmpty()) {
            return;
        }
        path = PathFromDialog(chosen);
        // The file dialog asked about the bitmap; its texture file goes
        // beside it under a name the user never saw, and may be earlier work.
        const ReplaceChoice choice =
            save == &SaveAsBitmap
                ? AskBeforeReplacing(WithSuffix(path, ".tex"), kTextureBesideExistsDetails)
                : ReplaceChoice::Replace;
        if (choice == ReplaceChoice::Replace) {
            break;
        }
        if (choice == ReplaceChoice::Cancel) {
            return;
        }
        start = chosen;
    }
    // The open state is an input: no export is written over it, under
    // either of a bitmap's two names.
    if (SameFile(path, m_session->statePath) ||
        (save == &SaveAsBitmap && SameFile(WithSuffix(path, ".tex"), m_session->statePath))) {
        Tell(MessageText(Error::OutputOverwritesInput),
             DetailsFor(Error::OutputOverwritesInput, record, m_session->statePath, 0));
        return;
    }
    errno = 0;
    const Error result = save(*m_session, record, path);
    const int reason = errno;
    if (result != Error::None) {
        Tell(MessageText(result), DetailsFor(result, record, path, reason));
        return;
    }
    RememberFolder(FileKind::Export, PathForDisplay(path));
    // What was saved, and where; a bitmap's texture file beside it.
    const QString shown = PathForDisplay(path);
    QString after;
    QString tip = QString::fromLatin1(kSavedPath).arg(shown);
    if (save == &SaveAsBitmap) {
        const std::filesystem::path texture = WithSuffix(path, ".tex");
        after =
            QString::fromLatin1(kSavedBeside).arg(QFileInfo(PathForDisplay(texture)).fileName());
        tip += QLatin1Char('\n') + QString::fromLatin1(kSavedPath).arg(PathForDisplay(texture));
    }
    m_written->SetLine(QString::fromLatin1(kSaved), path, CPathLine::Folder::Shown, after, tip);
}

// The popup "Tex View Popup" over a thumbnail is how the user reaches the
// commands; over the list's empty space there is nothing to act on.
void CMainDialog::OnRclickTextureList(const QPoint& position) {
    QListWidgetItem* item = m_textureList->itemAt(position);
    if (item == nullptr) {
        return;
    }
    m_textureList->setCurrentItem(item, QItemSelectionModel::ClearAndSelect);
    const int32_t record = item->data(kRecordRole).toInt();

    QMenu menu(QString::fromLatin1(kPopupTitle), this);
    menu.setObjectName(QStringLiteral("texViewPopup"));
    menu.addAction(QString::fromLatin1(kSaveAsBitmap))->setData(ID_SAVE_AS_BITMAP);
    menu.addAction(QString::fromLatin1(kSaveAsTexture))->setData(ID_SAVE_AS_TEXTURE);
    // The PNG that export writes and Replace takes back as it is.
    menu.addAction(QString::fromLatin1(kSaveAsPng))->setData(ID_SAVE_AS_PNG);
    menu.addSeparator();
    menu.addAction(QString::fromLatin1(kReplaceTexture))->setData(ID_REPLACE_TEXTURE);
    QAction* paste = menu.addAction(QString::fromLatin1(kPastePicture));
    paste->setData(ID_PASTE_PICTURE);
    paste->setShortcut(QKeySequence::Paste);
    // Only a face this session changed has anything to put back.
    const std::vector<int32_t> changed = ChangedFaces(*m_session);
    QAction* revert = menu.addAction(QString::fromLatin1(kRevertFace));
    revert->setData(ID_REVERT_FACE);
    revert->setEnabled(std::find(changed.begin(), changed.end(), record) != changed.end());
    menu.addAction(QString::fromLatin1(kCompareFace))->setData(ID_COMPARE_FACE);

    const QAction* chosen =
        m_prompts.PopupMenu(menu, m_textureList->viewport()->mapToGlobal(position));
    if (chosen == nullptr) {
        return;
    }
    switch (chosen->data().toInt()) {
        case ID_SAVE_AS_BITMAP:
            OnSaveAsBitmap();
            break;
        case ID_SAVE_AS_TEXTURE:
            OnSaveAsTexture();
            break;
        case ID_SAVE_AS_PNG:
            OnSaveAsPng();
            break;
        case ID_REPLACE_TEXTURE:
            OnReplaceTexture();
            break;
        case ID_PASTE_PICTURE:
            OnPaste();
            break;
        case ID_REVERT_FACE:
            OnRevertFace();
            break;
        case ID_COMPARE_FACE:
            OnCompareFace();
            break;
        default:
            break;
    }
}

}  // namespace morvane::app
