#pragma once
// The Texture gallery's list: an icon view of 32 x 64 thumbnails at fixed
// places, six to a row, without captions.
//
// Item i of a rebuild:
//   position    x = 4 + 36 * (i mod 6), y = 4 + 68 * (i div 6), in the list's
//               content coordinates (a thumbnail and a 4-pixel gap each way)
//   text        empty
//   item data   the record index (kRecordRole), which the commands act on
//   image       index i of the window's image list (kImageIndexRole)

#include <QListWidget>
#include <QPoint>
#include <QSize>
#include <QStyledItemDelegate>

namespace morvane::app {

inline constexpr QSize kThumbnailSize(32, 64);
inline constexpr int kGalleryColumns = 6;
inline constexpr int kGalleryMargin = 4;
inline constexpr int kGalleryPitchX = 36;
inline constexpr int kGalleryPitchY = 68;

inline constexpr int kRecordRole = Qt::UserRole;
inline constexpr int kImageIndexRole = Qt::UserRole + 1;
inline constexpr int kPositionRole = Qt::UserRole + 2;

// Where item i sits.
QPoint GalleryPosition(int i);

class CTextureList final : public QListWidget {
    Q_OBJECT
public:
    explicit CTextureList(QWidget* parent);

    // Places an item, and keeps it there through any later layout.
    void SetItemPosition(int row, QPoint position);
    // The item's place in content coordinates.
    QPoint ItemPosition(int row) const;

    void doItemsLayout() override;
};

// Draws image kImageIndexRole of the image list unscaled by any filter, so
// thumbnails stay sharp at every display scale.
class CThumbnailDelegate final : public QStyledItemDelegate {
    Q_OBJECT
public:
    CThumbnailDelegate(const QList<QImage>& images, QObject* parent);

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

private:
    const QList<QImage>& m_images;
};

}  // namespace morvane::app
