#pragma once
// A user interface that records everything the core shows, for tests.

#include <vector>

#include "catalogue/user_interface.h"

namespace morvane::test {

struct GallerySnapshot {
    std::vector<int32_t> shownList;
    // The bitmap each shown face came with (empty for a blank thumbnail).
    std::vector<std::vector<uint8_t>> bitmaps;

    // Which faces came with a bitmap.
    std::vector<bool> HasBitmap() const;
};

class RecordingUi final : public UserInterface {
public:
    void ShowMessage(Error message) override { messages.push_back(message); }
    // One message, as a front end shows it, and the records it names.
    void ShowUnreadableRecords(std::span<const int32_t> records) override {
        messages.push_back(Error::MemoryAllocationFailure);
        unreadable.emplace_back(records.begin(), records.end());
    }
    void SetStatus(Status status) override { statuses.push_back(status); }
    void RebuildGallery(std::span<const ShownFace> faces) override;

    std::vector<Error> messages;
    std::vector<std::vector<int32_t>> unreadable;
    std::vector<Status> statuses;
    std::vector<GallerySnapshot> rebuilds;
};

}  // namespace morvane::test
