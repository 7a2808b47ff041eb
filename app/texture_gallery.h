#pragma once
// The Texture gallery's list: an icon view of 32 x 64 thumbnails at fixed
// places, six to a row (more once the window has grown wider than it starts),
// without captions.
//
// Item i of a rebuild, with n to a row:
//   position    x = 4 + 36 * (i mod n), y = 4 + 68 * (i div n), in the list's
//               content coordinates (a thumbnail and a 4-pixel gap each way)
//   text        empty
//   item data   the record index (kRecordRole), which the commands act on
//   image       index i of the window's image list (kImageIndexRole)
//   marks       kUnreadableRole: its texture cannot be read (a blank, crossed
//               out); kChangedRole: this session changed it (a corner mark)

#include <QImage>
#include <QListWidget>
#include <QPoint>
#include <QSize>
#include <QStyledItemDelegate>
#include <cstdint>
#include <span>

namespace morvane::app {

inline constexpr QSize kThumbnailSize(32, 64);
inline constexpr int kGalleryColumns = 6;
inline constexpr int kGalleryMargin = 4;
inline constexpr int kGalleryPitchX = 36;
inline constexpr int kGalleryPitchY = 68;

inline constexpr int kRecordRole = Qt::UserRole;
inline constexpr int kImageIndexRole = Qt::UserRole + 1;
inline constexpr int kPositionRole = Qt::UserRole + 2;
inline constexpr int kUnreadableRole = Qt::UserRole + 3;
inline constexpr int kChangedRole = Qt::UserRole + 4;

// Where item i sits, `columns` to a row.
QPoint GalleryPosition(int i, int columns = kGalleryColumns);

// The thumbnail of a face's 16-bit bitmap; blank for one that cannot be read.
QImage FaceImage(std::span<const uint8_t> bitmap);

class CTextureList final : public QListWidget {
    Q_OBJECT
public:
    explicit CTextureList(QWidget* parent);

    // Places an item, and keeps it there through any later layout.
    void SetItemPosition(int row, QPoint position);
    // The item's place in content coordinates.
    QPoint ItemPosition(int row) const;

    // How many thumbnails stand in a row; a change places every item again.
    int Columns() const { return m_columns; }
    void SetColumns(int columns);

    void doItemsLayout() override;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    int m_columns = kGalleryColumns;
};

// Draws image kImageIndexRole of the image list unscaled by any filter, so
// thumbnails stay sharp at every display scale, with the item's marks, its
// selection and the keyboard's focus.
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
