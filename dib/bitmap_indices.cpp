#include "dib/bitmap_file.h"

#include <algorithm>

namespace morvane {
namespace {

uint8_t IndexAt(const uint8_t* row, size_t x, uint16_t bitCount) {
    if (bitCount == 8) {
        return row[x];
    }
    if (bitCount == 4) {
        const uint8_t byte = row[x / 2];
        return (x % 2 == 0) ? static_cast<uint8_t>(byte >> 4) : static_cast<uint8_t>(byte & 0x0F);
    }
    return static_cast<uint8_t>((row[x / 8] >> (7 - x % 8)) & 1);
}

bool ReadUncompressed(const BitmapGeometry& geometry, uint16_t bitCount,
                      std::span<const uint8_t> bits, std::vector<uint8_t>& out) {
    if (bits.size() < UncompressedImageBytes(geometry, bitCount)) {
        return false;
    }
    const size_t stride = BitmapRowStride(geometry.width, bitCount);
    for (size_t stored = 0; stored < geometry.height; ++stored) {
        const uint8_t* row = bits.data() + stored * stride;
        uint8_t* target = out.data() + stored * geometry.width;
        for (size_t x = 0; x < geometry.width; ++x) {
            target[x] = IndexAt(row, x, bitCount);
        }
    }
    return true;
}

// Stored row order becomes bottom-row-first order.
void FlipRows(std::vector<uint8_t>& pixels, size_t width, size_t height) {
    for (size_t row = 0; row < height / 2; ++row) {
        const auto top = pixels.begin() + static_cast<ptrdiff_t>(row * width);
        const auto bottom = pixels.begin() + static_cast<ptrdiff_t>((height - 1 - row) * width);
        std::swap_ranges(top, top + static_cast<ptrdiff_t>(width), bottom);
    }
}

}  // namespace

bool ReadBitmapIndices(const BitmapInfoHeader& info, std::span<const uint8_t> bits,
                       std::vector<uint8_t>& indices) {
    BitmapGeometry geometry;
    if (!GetBitmapGeometry(info, geometry)) {
        return false;
    }
    std::vector<uint8_t> out;
    if (info.compression == kCompressionNone &&
        (info.bitCount == 1 || info.bitCount == 4 || info.bitCount == 8)) {
        out.assign(static_cast<size_t>(geometry.width) * geometry.height, 0);
        if (!ReadUncompressed(geometry, info.bitCount, bits, out)) {
            return false;
        }
    } else if ((info.compression == kCompressionRle8 && info.bitCount == 8) ||
               (info.compression == kCompressionRle4 && info.bitCount == 4)) {
        if (!DecodeRunLength(bits, info.bitCount, geometry.width, geometry.height, out)) {
            return false;
        }
    } else {
        return false;
    }
    if (geometry.topDown) {
        FlipRows(out, geometry.width, geometry.height);
    }
    indices = std::move(out);
    return true;
}

}  // namespace morvane
