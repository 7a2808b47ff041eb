#include "support/recording_ui.h"

namespace morvane::test {

void RecordingUi::RebuildGallery(const TextureCatalogue& catalogue) {
    GallerySnapshot snapshot;
    for (int32_t i = 0; i < catalogue.shownCount; ++i) {
        const int32_t record = catalogue.ShownList[static_cast<size_t>(i)];
        const std::filesystem::path& path = catalogue.records[static_cast<size_t>(record)].bmpPath;
        snapshot.shownList.push_back(record);
        snapshot.bitmapExisted.push_back(std::filesystem::exists(path));
        snapshot.bitmapPaths.push_back(path);
    }
    rebuilds.push_back(std::move(snapshot));
}

}  // namespace morvane::test
