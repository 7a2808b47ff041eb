#pragma once
// A user interface that records everything the core shows, for tests.

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "catalogue/texture_catalogue.h"
#include "catalogue/user_interface.h"

namespace morvane::test {

struct GallerySnapshot {
    std::vector<int32_t> shownList;
    // Which shown records had a bitmap file on disk during the rebuild.
    std::vector<bool> bitmapExisted;
    std::vector<std::filesystem::path> bitmapPaths;
    // Every file in the pass's temporary folder at the time of the rebuild.
    std::vector<std::string> folderFiles;
};

class RecordingUi final : public UserInterface {
public:
    void ShowMessage(Error message) override { messages.push_back(message); }
    void SetStatus(Status status) override { statuses.push_back(status); }
    void RebuildGallery(const TextureCatalogue& catalogue) override;

    std::vector<Error> messages;
    std::vector<Status> statuses;
    std::vector<GallerySnapshot> rebuilds;
};

}  // namespace morvane::test
