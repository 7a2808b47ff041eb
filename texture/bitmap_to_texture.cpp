#include "texture/texture_converter.h"

#include <algorithm>

#include "common/byte_order.h"
#include "dib/bitmap_file.h"

namespace morvane {
namespace {

// Blue, green, red, reserved in; big-endian RGBA 5-5-5-1 out, alpha clear.
// The low three bits of each channel are dropped, not rounded, so that a
// 5-bit value x that an editor scaled up as x * 8, x * 8 + x / 4 or
// x * 255 / 31 comes back as x.
uint16_t PackColourEntry(const uint8_t* quad) {
    const uint32_t blue = quad[0] >> 3;
    const uint32_t green = quad[1] >> 3;
    const uint32_t red = quad[2] >> 3;
    return static_cast<uint16_t>((red << 11) | (green << 6) | (blue << 1));
}

}  // namespace

Error CTextureConverter::ConvertBitmap(std::span<const uint8_t> bitmap, std::vector<uint8_t>& out,
                                       int mode) const {
    BitmapHeaders headers;
    if (!ParseBitmapHeaders(bitmap, headers)) {
        return Error::NotABitmap;
    }
    const BitmapInfoHeader& info = headers.info;
    if (info.bitCount != 8) {
        return Error::Not256ColourBitmap;
    }
    if (info.compression != kCompressionNone && info.compression != kCompressionRle8) {
        return Error::CompressionNotSupported;
    }
    // Texel row 0 is the picture's bottom row however the file stores its
    // rows, as the texture-to-bitmap direction writes it.
    BitmapGeometry geometry;
    std::vector<uint8_t> texels;
    if (!GetBitmapGeometry(info, geometry) ||
        !ReadBitmapIndices(info, bitmap.subspan(headers.file.offBits), texels)) {
        return Error::Invalid;
    }
    SwapOddRowWords(texels, static_cast<int>(geometry.width), static_cast<int>(geometry.height),
                    mode);

    const size_t tableStart = kBitmapFileHeaderSize + info.size;
    const size_t entries = ColourTableBytes(headers) / 4;
    std::vector<uint8_t> converted(texels.size() + 2 * entries);
    std::copy(texels.begin(), texels.end(), converted.begin());
    for (size_t k = 0; k < entries; ++k) {
        StoreBE16(&converted[texels.size() + 2 * k], PackColourEntry(&bitmap[tableStart + 4 * k]));
    }
    out = std::move(converted);
    return Error::None;
}

int CTextureConverter::ConvertBitmapToTexture(std::span<const uint8_t> bitmap,
                                              std::vector<uint8_t>& out, int mode) const {
    return ConvertBitmap(bitmap, out, mode) == Error::None ? 1 : 0;
}

void CTextureConverter::SwapOddRowWords(std::span<uint8_t> texels, int width, int height,
                                        int mode) const {
    if (mode != kSwapOddRowsMode || width <= 0 || height <= 0) {
        return;
    }
    const size_t rowBytes = static_cast<size_t>(width);
    // Only rows that lie wholly inside the texels are walked.
    const size_t rows = std::min(static_cast<size_t>(height), texels.size() / rowBytes);
    for (size_t row = 1; row < rows; row += 2) {
        uint8_t* start = texels.data() + row * rowBytes;
        // Whole 8-byte groups only: the bytes after the last one stay put.
        for (size_t group = 0; group + 8 <= rowBytes; group += 8) {
            std::swap_ranges(start + group, start + group + 4, start + group + 4);
        }
    }
}

}  // namespace morvane
