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
// A face texture is format 9, 32 texels across and 64 down: 2048 palette
// indices followed by 256 big-endian RGBA 5-5-5-1 palette entries.

#include <array>
#include <cstdint>
#include <filesystem>

#include "common/error.h"
#include "savestate/save_state_image.h"

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

inline constexpr uint8_t kFaceFormat = 9;
inline constexpr uint8_t kFaceWidth = 32;
inline constexpr uint8_t kFaceHeight = 64;
inline constexpr size_t kFaceTexelBytes = 32 * 64;
inline constexpr size_t kFacePaletteBytes = 256 * 2;
inline constexpr size_t kFaceTextureBytes = kFaceTexelBytes + kFacePaletteBytes;
static_assert(kFaceTextureBytes == 2560);

// One entry of the game's texture table, as the catalogue holds it: identifier
// and address in host order, everything else as the game has it.
struct TextureTableEntry {
    uint16_t identifier = 0;            // 0: big-endian in the game
    std::array<uint8_t, 2> unused2{};   // 2: carried unread
    uint32_t address = 0;               // 4: game address of the texture's bytes
    uint8_t width = 0;                  // 8: texels across
    uint8_t height = 0;                 // 9: texels down
    uint8_t byte10 = 0;                 // 10: carried into the texture file header
    uint8_t format = 0;                 // 11: 9 for the face textures
    std::array<uint8_t, 4> unused12{};  // 12: carried unread
};
inline constexpr size_t kTableEntrySize = 16;

struct TextureRecord {
    std::filesystem::path texPath;  // the record's temporary texture file
    std::filesystem::path bmpPath;  // the record's temporary bitmap file
    uint32_t size = 0;              // bytes of the texture's extent in RDRAM
    TextureTableEntry entry;
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
    Release release = Release::Ntsc;
};

// texture_catalogue.cpp

bool IsFaceTexture(const TextureTableEntry& entry);

// Decodes one 16-byte table entry as it lies in RDRAM.
TextureTableEntry DecodeTableEntry(const uint8_t* bytes);

// Recognises the game and its release, and catalogues the texture table. A
// refused state leaves everything but the shown count as it was; the refusal
// has been shown through `ui` before this returns.
CatalogueResult BuildTextureCatalogue(Session& session, UserInterface& ui);

}  // namespace morvane
