#pragma once
// A large view of one face: as the state was opened and as it is now, side
// by side, each texel a square of kCompareScale pixels.

#include <QDialog>
#include <QImage>

namespace morvane::app {

inline constexpr int kCompareScale = 4;

class CCompareDialog final : public QDialog {
    Q_OBJECT
public:
    // `before` and `after` are 32 x 64 thumbnails of the face.
    CCompareDialog(int record, const QImage& before, const QImage& after, QWidget* parent);
};

}  // namespace morvane::app
