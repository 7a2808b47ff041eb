#include <cstdio>

#include "catalogue/texture_catalogue.h"

namespace morvane {
namespace {

constexpr const char kKindsRead[] =
    "Morvane reads the save states of Project64 (.pj, .pj.zip), of the mupen64plus family "
    "(.st0 to .st9) and of RetroArch's mupen64plus-next and parallel-n64 cores (.state, "
    ".state1 ...), saved while Goldeneye runs: save the state in a level and open that file.";

// The release a region code names.
std::string ReleaseOfRegion(uint16_t region) {
    // The one other release of Goldeneye; the two supported are never refused.
    constexpr uint16_t kRegionJapan = 0x4A;
    return region == kRegionJapan ? "Goldeneye's Japanese release"
                                  : "a release of Goldeneye that Morvane does not know";
}

// The region code as it reads: "J", or "0x0000" for one that is no letter.
std::string RegionCodeText(uint16_t region) {
    if (region >= 0x21 && region < 0x7F) {
        return std::string(1, static_cast<char>(region));
    }
    char code[8];
    std::snprintf(code, sizeof code, "0x%04X", region);
    return code;
}

}  // namespace

std::string StateHintText(Error refusal, const SaveStateImage& image) {
    switch (refusal) {
        case Error::NotGoldeneye:
        case Error::NoStateInArchive:
        case Error::NotN64State:
            return kKindsRead;
        case Error::UnsupportedRegion: {
            const uint16_t region = CartridgeIdOf(image).region;
            return "The state holds " + ReleaseOfRegion(region) + " (region code " +
                   RegionCodeText(region) +
                   "). Morvane supports the NTSC release (region code E) and the PAL release "
                   "(region code P).";
        }
        case Error::TextureTableNotValid:
            return "The game's texture table is only in memory while a level is played: save the "
                   "state in a level. If it was, the state may be damaged.";
        case Error::MemoryAllocationFailure:
            return "each texture lies past the end of memory or over another face, so it cannot "
                   "be read, replaced or exported; a face among them is marked as unreadable. The "
                   "state may be damaged: save it again in the emulator.";
        case Error::StateTooShort:
            return std::string(kKindsRead) +
                   " A state cut short while it was copied or downloaded is refused too: save it "
                   "again in the emulator.";
        case Error::DamagedArchive:
        case Error::RzipChunkPastEnd:
        case Error::RzipSizeMismatch:
        case Error::RastateBlockPastEnd:
        case Error::RastateNoEnd:
            return "The file may have been cut short while it was copied or downloaded: save the "
                   "state again in the emulator.";
        case Error::OutOfMemory:
            return "Close other programs (or browser tabs) and try again.";
        default:
            return "";
    }
}

}  // namespace morvane
