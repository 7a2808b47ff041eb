// The commands on one texture of the gallery: replace it with a picture, or
// export it as a bitmap or as a texture file.

#include <QListWidgetItem>
#include <QMenu>

#include "app/main_dialog.h"
#include "app/prompts.h"
#include "app/resource_ids.h"
#include "app/strings.h"
#include "app/texture_gallery.h"
#include "catalogue/session.h"
#include "catalogue/texture_commands.h"

namespace morvane::app {
namespace {

int32_t RecordOf(const QListWidgetItem& item) {
    return item.data(kRecordRole).toInt();
}

}  // namespace

void CMainDialog::OnDblclkTextureList() {
    OnReplaceTexture();
}

void CMainDialog::OnReplaceTexture() {
    const int mark = SelectionMark();
    if (mark < 0) {
        return;
    }
    ReplaceTexture(RecordOf(*m_textureList->item(mark)));
}

void CMainDialog::ReplaceTexture(int32_t record) {
    const QString chosen = m_prompts.GetOpenFileName(this);
    if (chosen.isEmpty()) {
        return;
    }
    // On success the extraction pass has run again and rebuilt the gallery.
    const Error result = morvane::ReplaceTexture(*m_session, *this, record, PathFromDialog(chosen));
    if (result != Error::None) {
        ShowMessage(result);
    }
}

void CMainDialog::OnSaveAsBitmap() {
    const int mark = SelectionMark();
    if (mark < 0) {
        return;
    }
    const QString chosen = m_prompts.GetSaveFileName(this);
    if (chosen.isEmpty()) {
        return;
    }
    const Error result =
        SaveAsBitmap(*m_session, RecordOf(*m_textureList->item(mark)), PathFromDialog(chosen));
    if (result != Error::None) {
        ShowMessage(result);
    }
}

void CMainDialog::OnSaveAsTexture() {
    const int mark = SelectionMark();
    if (mark < 0) {
        return;
    }
    const QString chosen = m_prompts.GetSaveFileName(this);
    if (chosen.isEmpty()) {
        return;
    }
    const Error result =
        SaveAsTexture(*m_session, RecordOf(*m_textureList->item(mark)), PathFromDialog(chosen));
    if (result != Error::None) {
        ShowMessage(result);
    }
}

// The popup "Tex View Popup" over a thumbnail is how the user reaches the
// three commands; over the list's empty space there is nothing to act on.
void CMainDialog::OnRclickTextureList(const QPoint& position) {
    QListWidgetItem* item = m_textureList->itemAt(position);
    if (item == nullptr) {
        return;
    }
    m_textureList->setCurrentItem(item, QItemSelectionModel::ClearAndSelect);

    QMenu menu(QString::fromLatin1(kPopupTitle), this);
    menu.setObjectName(QStringLiteral("texViewPopup"));
    menu.addAction(QString::fromLatin1(kSaveAsBitmap))->setData(ID_SAVE_AS_BITMAP);
    menu.addAction(QString::fromLatin1(kSaveAsTexture))->setData(ID_SAVE_AS_TEXTURE);
    menu.addSeparator();
    menu.addAction(QString::fromLatin1(kReplaceTexture))->setData(ID_REPLACE_TEXTURE);

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
        case ID_REPLACE_TEXTURE:
            OnReplaceTexture();
            break;
        default:
            break;
    }
}

}  // namespace morvane::app
