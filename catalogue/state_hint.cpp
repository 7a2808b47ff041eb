#include <cctype>
#include <cstdio>

#include "catalogue/texture_catalogue.h"

namespace morvane {
namespace {

constexpr const char kKindsRead[] =
    "Morvane reads save states of GoldenEye 007 from Project64 (.pj, .pj.zip), mupen64plus "
    "and RMG (.st0 to .st9), and RetroArch (.state, .state1 and on).";

// The cartridge name's first characters as a player would read them, or empty
// when they are not printable.
std::string PrintableName(const std::array<uint8_t, 4>& name) {
    std::string text;
    for (const uint8_t c : name) {
        if (c < 0x20 || c > 0x7E) {
            return "";
        }
        text += static_cast<char>(c);
    }
    return text;
}

}  // namespace

std::string StateHintText(Error refusal, const SaveStateImage& image) {
    switch (refusal) {
        case Error::NotGoldeneye: {
            std::string hint = kKindsRead;
            const std::string name = PrintableName(CartridgeIdOf(image).name);
            if (!name.empty()) {
                hint += " This state's game begins \"" + name + "\".";
            }
            return hint + " Save the state while GoldenEye runs, in a level.";
        }
        case Error::UnsupportedRegion: {
            const uint16_t region = CartridgeIdOf(image).region;
            char found[96];
            if (region < 0x100 && std::isprint(region) != 0) {
                std::snprintf(found, sizeof found, "This state's release has the region code '%c' (0x%04X)",
                              static_cast<char>(region), region);
            } else {
                std::snprintf(found, sizeof found, "This state's release has the region code 0x%04X",
                              region);
            }
            return std::string(found) +
                   "; Morvane knows GoldenEye's NTSC ('E', 0x0045) and PAL ('P', 0x0050) releases.";
        }
        case Error::TextureTableNotValid:
            return "The game's texture table is only in memory while a level is played: save the "
                   "state in a level, not in a menu.";
        case Error::MemoryAllocationFailure:
            return "Their entries in the game's texture table lie past the end of memory or over "
                   "another face: the state may be damaged. Save it again in the emulator.";
        case Error::StateTooShort:
        case Error::DamagedArchive:
        case Error::RzipChunkPastEnd:
        case Error::RzipSizeMismatch:
        case Error::RastateBlockPastEnd:
        case Error::RastateNoEnd:
            return "The file may have been cut short while it was copied or downloaded: save the "
                   "state again in the emulator.";
        case Error::NoStateInArchive:
        case Error::NotN64State:
            return kKindsRead;
        case Error::OutOfMemory:
            return "Close other programs (or browser tabs) and try again.";
        default:
            return "";
    }
}

}  // namespace morvane
