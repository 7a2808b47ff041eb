#include <algorithm>

#include "catalogue/session.h"

namespace morvane {
namespace {

const FaceChange* FindChange(const Session& session, int32_t record) {
    const auto found =
        std::find_if(session.changes.begin(), session.changes.end(),
                     [record](const FaceChange& change) { return change.record == record; });
    return found == session.changes.end() ? nullptr : &*found;
}

bool IsShownFace(const Session& session, int32_t record) {
    const TextureCatalogue& catalogue = session.catalogue;
    const auto shown = catalogue.ShownList.begin();
    return std::find(shown, shown + catalogue.shownCount, record) != shown + catalogue.shownCount;
}

std::span<const uint8_t> FaceBytes(const Session& session, int32_t record) {
    if (record < 0 || static_cast<size_t>(record) >= kCatalogueSlots) {
        return {};
    }
    const uint32_t address = session.catalogue.entries[static_cast<size_t>(record)].address;
    return RdramBytes(session.image, address, kFaceTextureBytes);
}

}  // namespace

void NoteFaceChange(Session& session, int32_t record) {
    if (FindChange(session, record) != nullptr) {
        return;
    }
    const std::span<const uint8_t> bytes = FaceBytes(session, record);
    if (bytes.size() != kFaceTextureBytes) {
        return;  // nothing can be written there either
    }
    FaceChange change;
    change.record = record;
    std::copy(bytes.begin(), bytes.end(), change.opened.begin());
    const auto at = std::lower_bound(
        session.changes.begin(), session.changes.end(), record,
        [](const FaceChange& existing, int32_t wanted) { return existing.record < wanted; });
    session.changes.insert(at, change);
}

std::vector<int32_t> ChangedFaces(const Session& session) {
    std::vector<int32_t> changed;
    for (const FaceChange& change : session.changes) {
        const std::span<const uint8_t> now = FaceBytes(session, change.record);
        if (!std::equal(now.begin(), now.end(), change.opened.begin(), change.opened.end())) {
            changed.push_back(change.record);
        }
    }
    return changed;
}

std::span<const uint8_t> OpenedFaceBytes(const Session& session, int32_t record) {
    if (const FaceChange* change = FindChange(session, record); change != nullptr) {
        return change->opened;
    }
    return FaceBytes(session, record);
}

Error RevertFaceBytes(Session& session, int32_t record) {
    if (!IsShownFace(session, record)) {
        return Error::NoFaceTexture;
    }
    if (!ExtentIsReadable(session.image, session.catalogue, record)) {
        return Error::MemoryAllocationFailure;
    }
    const FaceChange* change = FindChange(session, record);
    if (change == nullptr) {
        return Error::None;  // never changed: it is as opened
    }
    const uint32_t address = session.catalogue.entries[static_cast<size_t>(record)].address;
    return WriteRdram(session.image, address, change->opened) ? Error::None
                                                              : Error::MemoryAllocationFailure;
}

}  // namespace morvane
