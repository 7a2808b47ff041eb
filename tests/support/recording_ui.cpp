#include "support/recording_ui.h"

#include <algorithm>

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
    if (!snapshot.bitmapPaths.empty()) {
        std::error_code ignored;
        const std::filesystem::path folder = snapshot.bitmapPaths.front().parent_path();
        for (const auto& file : std::filesystem::directory_iterator(folder, ignored)) {
            snapshot.folderFiles.push_back(file.path().filename().string());
        }
        std::sort(snapshot.folderFiles.begin(), snapshot.folderFiles.end());
    }
    rebuilds.push_back(std::move(snapshot));
}

}  // namespace morvane::test
