#include <algorithm>

#include "common/byte_order.h"
#include "texture/png_picture.h"

namespace morvane {
namespace {

constexpr size_t kTexturePaletteEntries = 256;

// Copies rows of `bytesPerRow` bytes in the opposite order: a PNG stores its
// top row first, a texture its bottom row.
std::vector<uint8_t> FlipRows(std::span<const uint8_t> rows, size_t bytesPerRow, size_t height) {
    std::vector<uint8_t> flipped(bytesPerRow * height);
    for (size_t row = 0; row < height; ++row) {
        std::copy_n(rows.begin() + static_cast<ptrdiff_t>((height - 1 - row) * bytesPerRow),
                    bytesPerRow, flipped.begin() + static_cast<ptrdiff_t>(row * bytesPerRow));
    }
    return flipped;
}

// The picture in colour, for an indexed picture that must be reduced further.
std::vector<uint8_t> ExpandIndices(const PngPicture& picture) {
    std::vector<uint8_t> rgb(picture.indices.size() * 3, 0);
    for (size_t i = 0; i < picture.indices.size(); ++i) {
        const size_t index = picture.indices[i];
        if (index < picture.palette.size()) {
            const PngColour& colour = picture.palette[index];
            rgb[3 * i] = colour.red;
            rgb[3 * i + 1] = colour.green;
            rgb[3 * i + 2] = colour.blue;
        }
    }
    return rgb;
}

}  // namespace

bool ConvertTextureToPng(std::span<const uint8_t> texture, uint32_t width, uint32_t height,
                         std::vector<uint8_t>& png) {
    const size_t texels = size_t{width} * height;
    if (width == 0 || height == 0 || width > kMaxPngDimension || height > kMaxPngDimension ||
        texture.size() < texels + 2 * kTexturePaletteEntries) {
        return false;
    }
    std::vector<PngColour> palette(kTexturePaletteEntries);
    for (size_t k = 0; k < palette.size(); ++k) {
        const uint16_t entry = LoadBE16(&texture[texels + 2 * k]);
        palette[k] = {Widen5(entry >> 11), Widen5(entry >> 6), Widen5(entry >> 1)};
    }
    const std::vector<uint8_t> rows = FlipRows(texture.first(texels), width, height);
    return EncodeIndexedPng(width, height, rows, palette, png);
}

Error ConvertPngToTexels(const PngPicture& picture, const ReductionOptions& options,
                         IndexedTexels& out) {
    const size_t pixels = size_t{picture.width} * picture.height;
    if (picture.indexed && picture.indices.size() == pixels) {
        IndexedTexels indexed;
        indexed.texels = FlipRows(picture.indices, picture.width, picture.height);
        for (const PngColour& colour : picture.palette) {
            indexed.palette.push_back(PackRgb5551(colour.red, colour.green, colour.blue));
        }
        if (FitPalette(indexed, options.maxColours)) {
            out = std::move(indexed);
            return Error::None;
        }
        const std::vector<uint8_t> rgb =
            FlipRows(ExpandIndices(picture), 3 * size_t{picture.width}, picture.height);
        return ReduceColours(rgb, picture.width, picture.height, options, out);
    }
    if (picture.indexed || picture.rgb.size() != 3 * pixels) {
        return Error::Invalid;
    }
    const std::vector<uint8_t> rgb =
        FlipRows(picture.rgb, 3 * size_t{picture.width}, picture.height);
    return ReduceColours(rgb, picture.width, picture.height, options, out);
}

}  // namespace morvane
