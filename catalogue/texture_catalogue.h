#pragma once
// Game detection and the texture catalogue.
//
// Header fields (header block, memory order), as CartridgeIdOf gives them for
// every kind of state:
//   40..43  "GOLD", the start of the cartridge's name
//   70..71  region code, little-endian: 0x0045 NTSC, 0x0050 PAL
//
// The game keeps a table of 16-byte texture entries in RDRAM. At the release's
// table root lies the game address of the table's first entry; 8 bytes below
// it, the game address just past its last entry.
//
// Entries, records and face textures: texture/texture_record.h.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "common/error.h"
#include "savestate/save_state_image.h"
#include "texture/texture_record.h"

namespace morvane {

struct Session;
class UserInterface;

inline constexpr uint32_t kTableRootNtsc = 0x8008C72C;
inline constexpr uint32_t kTableRootPal = 0x80073B0C;
inline constexpr uint16_t kRegionNtsc = 0x0045;
inline constexpr uint16_t kRegionPal = 0x0050;
inline constexpr size_t kGameNameOffset = kCartridgeNameOffset;
inline constexpr size_t kRegionOffset = kCartridgeRegionOffset;

inline constexpr size_t kCatalogueSlots = 512;
inline constexpr uint32_t kFirstRecordSize = 4104;

// One face texture that the extraction pass shows: its record index, and the
// 16-bit bitmap file it makes of it, the gallery's thumbnail. The bitmap is
// empty when the texture's extent is too short for a picture or cannot be
// read; the face is shown blank and can still be replaced.
struct ShownFace {
    int32_t record = 0;
    std::vector<uint8_t> bitmap;
};

struct TextureCatalogue {
    std::array<TextureTableEntry, kCatalogueSlots> entries{};
    std::array<TextureRecord, kCatalogueSlots> records{};
    std::array<int32_t, kCatalogueSlots> ShownList{};  // record indices, ascending
    int32_t shownCount = 0;
};

enum class Release : uint8_t { Ntsc, Pal };

struct CatalogueResult {
    bool accepted = false;
    uint32_t recordCount = 0;
    uint32_t tableEntries = 0;  // what the table lists, before it is cut to the slots
    Release release = Release::Ntsc;
};

// texture_catalogue.cpp

// Recognises the game and its release, and catalogues the image's texture
// table into `catalogue`. A refused state leaves everything but the shown
// count as it was; the refusal has been shown through `ui` before this
// returns.
CatalogueResult BuildTextureCatalogue(const SaveStateImage& image, TextureCatalogue& catalogue,
                                      UserInterface& ui);

// The same for the session's image and catalogue.
CatalogueResult BuildTextureCatalogue(Session& session, UserInterface& ui);

// Whether a record's extent can be read, and its texture written, without
// touching another texture's bytes: the extent lies within RDRAM (a size that
// wrapped never does), and a shown face's overlaps no other shown face's that
// lies within RDRAM. The extraction pass reports the others; the commands
// refuse them.
bool ExtentIsReadable(const SaveStateImage& image, const TextureCatalogue& catalogue,
                      int32_t record);

// state_hint.cpp

// What to do about a refused state, in a line or two that a front end shows
// beneath the refusal: which states are read, which release `image` holds,
// that the state may be damaged. For MemoryAllocationFailure it follows the
// records named ("records 2, 5: ..."). Empty when there is nothing to add.
std::string StateHintText(Error refusal, const SaveStateImage& image);

}  // namespace morvane
