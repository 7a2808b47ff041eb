#pragma once
// The game's texture table entry, and what the tool knows of one texture.
//
// Table entry, 16 bytes as the game keeps it in RDRAM (big-endian):
//   0   2  identifier
//   2   2  carried unread
//   4   4  game address of the texture's bytes
//   8   1  width in texels
//   9   1  height in texels
//   10  1  byte 10: the number of palette colours the game loads, less one
//   11  1  format: 9 for the face textures
//   12  4  carried unread
//
// A face texture is format 9, 32 texels across and 64 down: 2048 palette
// indices followed by 256 big-endian RGBA 5-5-5-1 palette entries.

#include <array>
#include <cstddef>
#include <cstdint>

namespace morvane {

inline constexpr uint8_t kFaceFormat = 9;
inline constexpr uint8_t kFaceWidth = 32;
inline constexpr uint8_t kFaceHeight = 64;
inline constexpr size_t kFaceTexelBytes = 32 * 64;
inline constexpr size_t kFacePaletteBytes = 256 * 2;
inline constexpr size_t kFaceTextureBytes = kFaceTexelBytes + kFacePaletteBytes;
static_assert(kFaceTextureBytes == 2560);

// One entry of the game's texture table, as the tool holds it: identifier
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
    uint32_t size = 0;  // bytes of the texture's extent in RDRAM
    TextureTableEntry entry;
};

// texture_record.cpp

bool IsFaceTexture(const TextureTableEntry& entry);

// Decodes one 16-byte table entry as it lies in RDRAM.
TextureTableEntry DecodeTableEntry(const uint8_t* bytes);

}  // namespace morvane
