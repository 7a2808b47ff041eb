#include "app/texture_gallery.h"

#include <QPainter>
#include <QScrollBar>
#include <algorithm>

#include "app/main_dialog.h"
#include "app/strings.h"
#include "catalogue/session.h"
#include "catalogue/texture_catalogue.h"
#include "dib/dib.h"
#include "dib/thumbnail.h"

namespace morvane::app {
namespace {

QImage ToImage(const Thumbnail& thumbnail) {
    const QImage view(thumbnail.rgb.data(), thumbnail.width, thumbnail.height, thumbnail.width * 3,
                      QImage::Format_RGB888);
    return view.copy();
}

}  // namespace

QPoint GalleryPosition(int i) {
    return QPoint(kGalleryMargin + kGalleryPitchX * (i % kGalleryColumns),
                  kGalleryMargin + kGalleryPitchY * (i / kGalleryColumns));
}

CTextureList::CTextureList(QWidget* parent) : QListWidget(parent) {
    setViewMode(QListView::IconMode);
    // Items keep the places the gallery gives them: a free layout (a static
    // one ignores given places) that the user cannot drag about, and that is
    // not flowed again when the list changes size.
    setMovement(QListView::Free);
    setDragEnabled(false);
    setDragDropMode(QAbstractItemView::NoDragDrop);
    setResizeMode(QListView::Fixed);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setIconSize(kThumbnailSize);
    setSpacing(0);
    setUniformItemSizes(true);
    setFrameShape(QFrame::Box);
    setFrameShadow(QFrame::Sunken);
}

void CTextureList::SetItemPosition(int row, QPoint position) {
    QListWidgetItem* entry = item(row);
    if (entry == nullptr) {
        return;
    }
    entry->setData(kPositionRole, position);
    setPositionForIndex(position, indexFromItem(entry));
}

QPoint CTextureList::ItemPosition(int row) const {
    const QListWidgetItem* entry = item(row);
    if (entry == nullptr) {
        return QPoint();
    }
    return visualItemRect(entry).topLeft() +
           QPoint(horizontalScrollBar()->value(), verticalScrollBar()->value());
}

void CTextureList::doItemsLayout() {
    // The view flows its items afresh on many occasions (a new font or style,
    // new rows); put each one back where the gallery placed it.
    QListWidget::doItemsLayout();
    for (int row = 0; row < count(); ++row) {
        const QVariant position = item(row)->data(kPositionRole);
        if (position.isValid()) {
            setPositionForIndex(position.toPoint(), indexFromItem(item(row)));
        }
    }
}

CThumbnailDelegate::CThumbnailDelegate(const QList<QImage>& images, QObject* parent)
    : QStyledItemDelegate(parent), m_images(images) {}

void CThumbnailDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                               const QModelIndex& index) const {
    const QRect cell(option.rect.topLeft(), kThumbnailSize);
    painter->save();
    // Nearest-neighbour whatever the display scale: a filtered scale would
    // blur the texels that the user is about to replace.
    painter->setRenderHint(QPainter::SmoothPixmapTransform, false);
    const int image = index.data(kImageIndexRole).toInt();
    if (image >= 0 && image < m_images.size()) {
        painter->drawImage(cell, m_images[image]);
    }
    if (option.state & QStyle::State_Selected) {
        QColor highlight = option.palette.color(QPalette::Highlight);
        highlight.setAlpha(110);
        painter->fillRect(cell, highlight);
        painter->setPen(option.palette.color(QPalette::Highlight));
        painter->drawRect(cell.adjusted(0, 0, -1, -1));
    }
    painter->restore();
}

QSize CThumbnailDelegate::sizeHint(const QStyleOptionViewItem&, const QModelIndex&) const {
    return kThumbnailSize;
}

void CMainDialog::RebuildGallery(std::span<const ShownFace> faces) {
    m_textureList->setUpdatesEnabled(false);
    m_imageList.clear();
    if (m_textureList->count() != 0) {
        m_textureList->clear();
    }
    const int shown = static_cast<int>(std::min(faces.size(), kCatalogueSlots));
    m_imageList.resize(shown);

    // One bitmap object serves every item; each Read releases the one before.
    CDib dib;
    for (int i = 0; i < shown; ++i) {
        const ShownFace& face = faces[static_cast<size_t>(i)];
        // A face without a bitmap, or one that cannot be read, leaves the
        // object empty and the item a blank thumbnail.
        dib.Read(std::span<const uint8_t>(face.bitmap));
        m_imageList[i] =
            ToImage(RenderThumbnail(dib, kThumbnailSize.width(), kThumbnailSize.height()));
        auto* item = new QListWidgetItem();
        item->setData(kImageIndexRole, i);
        item->setData(kRecordRole, face.record);
        // The numbers by which `morvane-cli list` and export name the face.
        if (face.record >= 0 && static_cast<size_t>(face.record) < kCatalogueSlots) {
            const TextureTableEntry& entry =
                m_session->catalogue.records[static_cast<size_t>(face.record)].entry;
            item->setToolTip(FaceToolTip(face.record, entry.identifier, entry.address));
        }
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
        m_textureList->addItem(item);
    }
    m_textureList->doItemsLayout();
    for (int i = 0; i < shown; ++i) {
        m_textureList->SetItemPosition(i, GalleryPosition(i));
    }
    m_textureList->setUpdatesEnabled(true);
}

int CMainDialog::SelectionMark() const {
    const QList<QListWidgetItem*> selected = m_textureList->selectedItems();
    return selected.isEmpty() ? -1 : m_textureList->row(selected.first());
}

}  // namespace morvane::app
