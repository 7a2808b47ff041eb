#include "catalogue/texture_catalogue.h"

#include <algorithm>
#include <array>
#include <vector>

#include "catalogue/session.h"
#include "catalogue/user_interface.h"
#include "common/byte_order.h"

namespace morvane {
namespace {

uint32_t ReadRdramWord(const SaveStateImage& image, uint32_t address) {
    uint8_t bytes[4];
    ReadRdram(image, address, 4, bytes);
    return LoadBE32(bytes);
}

bool IsGoldeneye(const CartridgeId& cartridge) {
    return cartridge.name == std::array<uint8_t, 4>{'G', 'O', 'L', 'D'};
}

}  // namespace

CatalogueResult BuildTextureCatalogue(Session& session, UserInterface& ui) {
    return BuildTextureCatalogue(session.image, session.catalogue, ui);
}

CatalogueResult BuildTextureCatalogue(const SaveStateImage& image, TextureCatalogue& catalogue,
                                      UserInterface& ui) {
    CatalogueResult result;
    catalogue.shownCount = 0;

    // Project 64 states carry the cartridge header; mupen64plus states only its
    // MD5, which the image turns into the same two fields.
    const CartridgeId cartridge = CartridgeIdOf(image);
    if (!IsGoldeneye(cartridge)) {
        ui.ShowMessage(Error::NotGoldeneye);
        return result;
    }
    const uint16_t region = cartridge.region;
    uint32_t tableRoot = 0;
    if (region == kRegionNtsc) {
        result.release = Release::Ntsc;
        tableRoot = kTableRootNtsc;
    } else if (region == kRegionPal) {
        result.release = Release::Pal;
        tableRoot = kTableRootPal;
    } else {
        ui.ShowMessage(Error::UnsupportedRegion);
        return result;
    }
    ui.SetStatus(result.release == Release::Ntsc ? Status::DetectedNtsc : Status::DetectedPal);

    const uint32_t start = ReadRdramWord(image, tableRoot);
    const uint32_t end = ReadRdramWord(image, tableRoot - 8);
    // A wrapped table, or one that reaches outside RDRAM, is no table at all.
    if (end < start || !RdramRangeFits(image, start, end - start)) {
        ui.ShowMessage(Error::TextureTableNotValid);
        return result;
    }
    uint32_t recordCount = (end - start) >> 4;
    result.tableEntries = recordCount;
    if (recordCount > kCatalogueSlots) {
        recordCount = kCatalogueSlots;
    }

    std::vector<uint8_t> table(static_cast<size_t>(recordCount) * kTableEntrySize);
    ReadRdram(image, start, static_cast<uint32_t>(table.size()), table.data());
    for (uint32_t i = 0; i < recordCount; ++i) {
        const TextureTableEntry entry = DecodeTableEntry(&table[i * kTableEntrySize]);
        catalogue.entries[i] = entry;
        TextureRecord& record = catalogue.records[i];
        record.entry = entry;
        // Each texture's extent runs up to the texture listed before it; the
        // game lists them from high addresses to low. An entry above the one
        // before it wraps to a huge size, which the extraction pass refuses.
        record.size =
            i == 0 ? kFirstRecordSize : catalogue.records[i - 1].entry.address - entry.address;
    }

    result.accepted = true;
    result.recordCount = recordCount;
    return result;
}

bool ExtentIsReadable(const SaveStateImage& image, const TextureCatalogue& catalogue,
                      int32_t record) {
    if (record < 0 || static_cast<size_t>(record) >= kCatalogueSlots) {
        return false;
    }
    const TextureRecord& texture = catalogue.records[static_cast<size_t>(record)];
    if (!RdramRangeFits(image, texture.entry.address, texture.size)) {
        return false;
    }
    const auto shown = catalogue.ShownList.begin();
    const auto shownEnd = shown + catalogue.shownCount;
    if (std::find(shown, shownEnd, record) == shownEnd) {
        return true;
    }
    // Extents within RDRAM: offsets and sizes below 2^24 each, so the sums
    // cannot overflow.
    const uint64_t start = texture.entry.address & kAddressMask;
    const uint64_t end = start + texture.size;
    for (auto other = shown; other != shownEnd; ++other) {
        const TextureRecord& face = catalogue.records[static_cast<size_t>(*other)];
        if (*other == record || !RdramRangeFits(image, face.entry.address, face.size)) {
            continue;
        }
        const uint64_t faceStart = face.entry.address & kAddressMask;
        if (faceStart < end && start < faceStart + face.size) {
            return false;
        }
    }
    return true;
}

}  // namespace morvane
