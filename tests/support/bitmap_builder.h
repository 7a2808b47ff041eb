#pragma once
// Builds Windows bitmap files in memory for tests, with every header field
// under the test's control so that damaged and unusual files are as easy to
// make as ordinary ones.

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

namespace morvane::test {

struct BitmapFields {
    uint32_t infoSize = 40;
    int32_t width = 32;
    int32_t height = 64;
    uint16_t planes = 1;
    uint16_t bitCount = 8;
    uint32_t compression = 0;
    uint32_t clrUsed = 0;
    std::vector<std::array<uint8_t, 4>> colours;  // blue, green, red, reserved
    std::vector<uint8_t> bits;                    // the pixel array as stored
    std::optional<uint32_t> offBits;              // default: right after the colour table
};

std::vector<uint8_t> BuildBitmap(const BitmapFields& fields);

// Stores one byte per pixel (8 bits) of `rows` pictures rows, given in the
// order they are to be stored, each padded to 4 bytes.
std::vector<uint8_t> StoreRows8(const std::vector<std::vector<uint8_t>>& rows);

// A 256-entry colour table whose entry k is blue k, green 255 - k, red k ^ 0x55.
std::vector<std::array<uint8_t, 4>> DistinctColours(size_t count = 256);

// An 8-bit, 32 x 64 bitmap whose stored byte i is (i * 7 + i / 32) & 0xFF,
// so that no two rows are alike, with the DistinctColours table.
BitmapFields FaceBitmapFields();

// Damages a copy of `file` the way hostile or broken files are damaged: a few
// bytes changed (mostly in the headers, where they do the most harm) and
// sometimes the end cut off. `seed` picks the damage.
std::vector<uint8_t> Damage(const std::vector<uint8_t>& file, uint32_t seed);

}  // namespace morvane::test
