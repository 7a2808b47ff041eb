#include "support/recording_ui.h"

namespace morvane::test {

std::vector<bool> GallerySnapshot::HasBitmap() const {
    std::vector<bool> has;
    for (const std::vector<uint8_t>& bitmap : bitmaps) {
        has.push_back(!bitmap.empty());
    }
    return has;
}

void RecordingUi::RebuildGallery(std::span<const ShownFace> faces) {
    GallerySnapshot snapshot;
    for (const ShownFace& face : faces) {
        snapshot.shownList.push_back(face.record);
        snapshot.bitmaps.push_back(face.bitmap);
    }
    rebuilds.push_back(std::move(snapshot));
}

}  // namespace morvane::test
