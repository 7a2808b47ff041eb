#pragma once
// PNG pictures: read as replacement textures, written as exports.
//
// A PNG file is the 8-byte signature 89 50 4E 47 0D 0A 1A 0A followed by
// chunks: length (4 bytes, big-endian), type (4), data, CRC-32 (4). The first
// chunk must be IHDR, whose data is:
//   0   4  width, big-endian
//   4   4  height, big-endian
//   8   1  bit depth: 1, 2, 4, 8 or 16
//   9   1  colour type: 0 grey, 2 RGB, 3 indexed, 4 grey + alpha, 6 RGBA
//   10  1  compression, 11 filter, 12 interlace
// An indexed picture's palette (PLTE) holds at most 256 RGB entries. Rows are
// stored top row first, unlike a bottom-up bitmap.

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "common/error.h"
#include "texture/colour_reduction.h"

namespace morvane {

inline constexpr std::array<uint8_t, 8> kPngSignature = {0x89, 'P',  'N',  'G',
                                                         '\r', '\n', 0x1A, '\n'};

// Bounds on what DecodePng allocates for, whatever a header claims. A face is
// 32 x 64; these leave room for any picture this tool has reason to read.
inline constexpr uint32_t kMaxPngDimension = 1024;

struct PngColour {
    uint8_t red = 0;
    uint8_t green = 0;
    uint8_t blue = 0;
};

// A decoded picture, rows top row first as the file stores them.
struct PngPicture {
    uint32_t width = 0;
    uint32_t height = 0;
    bool indexed = false;
    // Indexed pictures: one palette index per pixel, and the file's palette.
    // An index may lie past the palette's end; the file is wrong, but such a
    // texel is simply black, as a short bitmap colour table makes it.
    std::vector<uint8_t> indices;
    std::vector<PngColour> palette;
    // Every other picture: red, green, blue per pixel. Grey becomes three
    // equal channels, 16-bit channels keep their high byte and alpha is
    // dropped, since the game's textures do not use it.
    std::vector<uint8_t> rgb;
};

// png_picture.cpp

// True when the bytes begin with the PNG signature.
bool IsPng(std::span<const uint8_t> file);

// The width and height that the IHDR chunk claims, read without decoding
// anything. False when the signature or a whole IHDR chunk is missing.
bool ReadPngSize(std::span<const uint8_t> file, uint32_t& width, uint32_t& height);

// Decodes a whole PNG file. False, `picture` untouched, for anything that is
// not a sound PNG: a bad signature or CRC in a critical chunk, data cut short,
// a missing palette, undecodable image data, or a size past kMaxPngDimension.
bool DecodePng(std::span<const uint8_t> file, PngPicture& picture);

// Encodes an 8-bit indexed PNG: `indices` are width x height palette indices,
// top row first, and `palette` has 1 to 256 entries. False when libpng fails
// or the sizes do not match.
bool EncodeIndexedPng(uint32_t width, uint32_t height, std::span<const uint8_t> indices,
                      std::span<const PngColour> palette, std::vector<uint8_t>& file);

// texture_png.cpp

// The game texture as an indexed PNG: its width x height texels, the picture's
// top row being the last texel row (as a bottom-up bitmap shows it), and its
// 256 palette entries with each 5-bit channel widened to 8 bits. False when
// `texture` is shorter than the texels and the palette or encoding fails.
bool ConvertTextureToPng(std::span<const uint8_t> texture, uint32_t width, uint32_t height,
                         std::vector<uint8_t>& png);

// Turns a decoded PNG into texels (row 0 the picture's bottom row) and a
// palette of at most options.maxColours entries. An indexed picture keeps its
// indices and palette when they fit (FitPalette); any other picture, and an
// indexed one that does not fit, is reduced by ReduceColours. Invalid when the
// reduction fails.
Error ConvertPngToTexels(const PngPicture& picture, const ReductionOptions& options,
                         IndexedTexels& out);

}  // namespace morvane
