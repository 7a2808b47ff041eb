#include "app/texture_gallery.h"

#include <QKeyEvent>
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

// An unreadable face: its blank crossed out, so that it is not taken for a
// black texture.
void DrawUnreadable(QPainter& painter, const QRect& cell) {
    painter.fillRect(cell, QColor(64, 64, 64));
    painter.setPen(QPen(QColor(220, 40, 40), 2));
    painter.drawLine(cell.topLeft(), cell.bottomRight());
    painter.drawLine(cell.topRight(), cell.bottomLeft());
}

// A face this session changed: a triangle in its top right corner.
void DrawChanged(QPainter& painter, const QRect& cell) {
    constexpr int kSide = 9;
    const QPoint corner = cell.topRight() + QPoint(1, 0);
    const QPoint triangle[3] = {corner, corner - QPoint(kSide, 0), corner + QPoint(0, kSide)};
    painter.setPen(QPen(Qt::black, 1));
    painter.setBrush(QColor(255, 170, 0));
    painter.drawPolygon(triangle, 3);
}

// The keyboard's place: a dashed frame, white under black, which shows on a
// face of any colour.
void DrawFocus(QPainter& painter, const QRect& cell) {
    const QRect frame = cell.adjusted(1, 1, -2, -2);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(Qt::white, 1));
    painter.drawRect(frame);
    painter.setPen(QPen(Qt::black, 1, Qt::DashLine));
    painter.drawRect(frame);
}

}  // namespace

QPoint GalleryPosition(int i, int columns) {
    return QPoint(kGalleryMargin + kGalleryPitchX * (i % columns),
                  kGalleryMargin + kGalleryPitchY * (i / columns));
}

QImage FaceImage(std::span<const uint8_t> bitmap) {
    CDib dib;
    dib.Read(bitmap);
    return ToImage(RenderThumbnail(dib, kThumbnailSize.width(), kThumbnailSize.height()));
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

void CTextureList::SetColumns(int columns) {
    if (columns == m_columns || columns < 1) {
        return;
    }
    m_columns = columns;
    for (int row = 0; row < count(); ++row) {
        SetItemPosition(row, GalleryPosition(row, m_columns));
    }
}

void CTextureList::keyPressEvent(QKeyEvent* event) {
    // With nothing selected, the first arrow selects the face that has the
    // keyboard's place (the first, once the gallery has the focus after a
    // load) rather than moving past it.
    const int key = event->key();
    const bool arrow =
        key == Qt::Key_Up || key == Qt::Key_Down || key == Qt::Key_Left || key == Qt::Key_Right;
    if (arrow && count() != 0 && selectedItems().isEmpty()) {
        const int row = currentRow() >= 0 ? currentRow() : 0;
        setCurrentRow(row, QItemSelectionModel::ClearAndSelect);
        event->accept();
        return;
    }
    QListWidget::keyPressEvent(event);
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
    if (index.data(kUnreadableRole).toBool()) {
        DrawUnreadable(*painter, cell);
    } else if (image >= 0 && image < m_images.size()) {
        painter->drawImage(cell, m_images[image]);
    }
    if (option.state & QStyle::State_Selected) {
        QColor highlight = option.palette.color(QPalette::Highlight);
        highlight.setAlpha(110);
        painter->fillRect(cell, highlight);
        painter->setPen(option.palette.color(QPalette::Highlight));
        painter->drawRect(cell.adjusted(0, 0, -1, -1));
    }
    if (index.data(kChangedRole).toBool()) {
        DrawChanged(*painter, cell);
    }
    if (option.state & QStyle::State_HasFocus) {
        DrawFocus(*painter, cell);
    }
    painter->restore();
}

QSize CThumbnailDelegate::sizeHint(const QStyleOptionViewItem&, const QModelIndex&) const {
    return kThumbnailSize;
}

void CMainDialog::RebuildGallery(std::span<const ShownFace> faces) {
    // After a change the faces are the same ones: the view stays where it
    // was, with the changed face in it. A new state starts at the top.
    const int scrolled = m_keepGalleryPlace ? m_textureList->verticalScrollBar()->value() : 0;
    const std::vector<int32_t> changed = ChangedFaces(*m_session);
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
        // The numbers by which `morvane-cli list` and export name the face,
        // and what sets it apart.
        if (face.record >= 0 && static_cast<size_t>(face.record) < kCatalogueSlots) {
            const TextureTableEntry& entry =
                m_session->catalogue.records[static_cast<size_t>(face.record)].entry;
            QString tip = FaceToolTip(face.record, entry.identifier, entry.address);
            // The pass gives such a face no bitmap; one with a picture is
            // never crossed out.
            if (face.bitmap.empty() &&
                !ExtentIsReadable(m_session->image, m_session->catalogue, face.record)) {
                item->setData(kUnreadableRole, true);
                tip += QLatin1Char('\n') + QString::fromLatin1(kUnreadableFace);
            }
            if (std::find(changed.begin(), changed.end(), face.record) != changed.end()) {
                item->setData(kChangedRole, true);
                tip += QLatin1Char('\n') + QString::fromLatin1(kChangedFace);
            }
            item->setToolTip(tip);
        }
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
        m_textureList->addItem(item);
    }
    m_textureList->doItemsLayout();
    for (int i = 0; i < shown; ++i) {
        m_textureList->SetItemPosition(i, GalleryPosition(i, m_textureList->Columns()));
    }
    m_textureList->setUpdatesEnabled(true);
    m_textureList->verticalScrollBar()->setValue(scrolled);
}

int CMainDialog::SelectionMark() const {
    const QList<QListWidgetItem*> selected = m_textureList->selectedItems();
    return selected.isEmpty() ? -1 : m_textureList->row(selected.first());
}

}  // namespace morvane::app
