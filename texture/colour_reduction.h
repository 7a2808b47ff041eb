#pragma once
// Reducing a picture to the colours a texture's palette can hold.
//
// The game's palette entries are RGBA 5-5-5-1 (bits 15-11 red, 10-6 green,
// 5-1 blue, 0 alpha), so two 8-bit colours that agree in the top five bits of
// every channel are the same colour to the game. A texture declares how many
// palette entries the game loads (byte 10 of its table entry, plus one); texels
// must point only at those.
//
// Pictures here are in texel order: row 0 is the picture's bottom row, rows
// back to back. Colour pictures hold red, green, blue bytes per pixel.

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "common/error.h"

namespace morvane {

inline constexpr size_t kMaxPaletteColours = 256;

// An 8-bit colour packed as the game keeps it: the low three bits of each
// channel dropped, alpha clear.
inline uint16_t PackRgb5551(uint8_t red, uint8_t green, uint8_t blue) {
    return static_cast<uint16_t>(((red >> 3) << 11) | ((green >> 3) << 6) | ((blue >> 3) << 1));
}

// A 5-bit channel widened to 8 bits by repeating its top bits, so that
// cutting it to 5 bits again gives it back.
inline uint8_t Widen5(uint32_t channel) {
    return static_cast<uint8_t>(((channel & 31) << 3) | ((channel & 31) >> 2));
}

// How a picture's colours came to fit a texture's palette.
enum class Reduction : uint8_t {
    None,       // an indexed picture whose palette fits, taken as it is
    Exact,      // its colours, cut to five bits a channel, were few enough
    Quantised,  // more colours than fit: the quantiser chose them
};

// Texels that index a palette of packed 5-5-5-1 entries.
struct IndexedTexels {
    std::vector<uint8_t> texels;
    std::vector<uint16_t> palette;  // at most 256 entries
    Reduction reduction = Reduction::None;
};

struct ReductionOptions {
    size_t maxColours = kMaxPaletteColours;  // 1 to 256
    bool dither = false;                     // error diffusion when quantising
};

// colour_reduction.cpp

// Takes the picture's colours as they are when, cut to five bits a channel,
// there are at most maxColours of them: palette entries in the order the
// colours first appear. False, `out` untouched, when there are more.
bool ReduceExactly(std::span<const uint8_t> rgb, size_t maxColours, IndexedTexels& out);

// Reduces a width x height picture to at most options.maxColours colours:
// exactly when it already fits (ReduceExactly), otherwise with the quantiser
// set for five-bit channels. Invalid, `out` untouched, when the picture's size
// does not match `rgb` or the quantiser fails.
Error ReduceColours(std::span<const uint8_t> rgb, uint32_t width, uint32_t height,
                    const ReductionOptions& options, IndexedTexels& out);

// Makes an indexed picture's texels point only at its first maxColours
// palette entries. A picture that does so already is left exactly as it is;
// otherwise the colours its texels use are packed into the first entries, in
// the order of their old indices, and the rest of the palette is dropped.
// False, `picture` untouched, when its texels use more than maxColours
// distinct colours. Texels past the end of the palette count as black.
bool FitPalette(IndexedTexels& picture, size_t maxColours);

}  // namespace morvane
