#include <bit>

#include "common/byte_order.h"
#include "dib/bitmap_file.h"

namespace morvane {
namespace {

// Where a channel lies in a pixel value, and how wide it is.
struct Channel {
    uint32_t mask = 0;
    int shift = 0;
    int width = 0;
};

Channel ChannelOf(uint32_t mask) {
    Channel channel;
    channel.mask = mask;
    channel.shift = mask == 0 ? 0 : std::countr_zero(mask);
    channel.width = mask == 0 ? 0 : std::bit_width(mask >> channel.shift);
    return channel;
}

// The channel's value as 8 bits: a narrow one repeats its bits downwards, so
// that a 5-bit x becomes x * 8 + x / 4, whose top five bits are x again.
uint8_t Widen(uint32_t pixel, const Channel& channel) {
    const uint32_t value = (pixel & channel.mask) >> channel.shift;
    if (channel.width >= 8) {
        return static_cast<uint8_t>(value >> (channel.width - 8));
    }
    uint32_t widened = 0;
    int bits = 0;
    while (bits < 8) {
        widened = (widened << channel.width) | value;
        bits += channel.width;
    }
    return static_cast<uint8_t>(widened >> (bits - 8));
}

// The red, green and blue channels of a 16- or 32-bit pixel value.
bool MasksOf(const BitmapInfoHeader& info, std::span<const uint8_t> headerBlock,
             Channel (&channels)[3]) {
    uint32_t masks[3] = {0, 0, 0};
    if (info.compression == kCompressionBitfields) {
        constexpr size_t kMasksAt = kBitmapInfoHeaderSize;
        if (headerBlock.size() < kMasksAt || headerBlock.size() - kMasksAt < 12) {
            return false;
        }
        for (size_t c = 0; c < 3; ++c) {
            masks[c] = LoadLE32(&headerBlock[kMasksAt + 4 * c]);
        }
    } else if (info.bitCount == 16) {
        masks[0] = 0x7C00;
        masks[1] = 0x03E0;
        masks[2] = 0x001F;
    } else {
        masks[0] = 0x00FF0000;
        masks[1] = 0x0000FF00;
        masks[2] = 0x000000FF;
    }
    const uint32_t pixelBits = info.bitCount == 16 ? 0xFFFF : 0xFFFFFFFF;
    for (size_t c = 0; c < 3; ++c) {
        // A mask that selects nothing of the pixel leaves no colour to read.
        if ((masks[c] & pixelBits) == 0) {
            return false;
        }
        channels[c] = ChannelOf(masks[c] & pixelBits);
    }
    return true;
}

}  // namespace

bool IsTrueColourBitmap(const BitmapInfoHeader& info) {
    switch (info.bitCount) {
        case 16:
        case 32:
            return info.compression == kCompressionNone ||
                   info.compression == kCompressionBitfields;
        case 24:
            return info.compression == kCompressionNone;
        default:
            return false;
    }
}

bool ReadBitmapColours(const BitmapInfoHeader& info, std::span<const uint8_t> headerBlock,
                       std::span<const uint8_t> bits, std::vector<uint8_t>& rgb) {
    BitmapGeometry geometry;
    if (!IsTrueColourBitmap(info) || !GetBitmapGeometry(info, geometry) ||
        bits.size() < UncompressedImageBytes(geometry, info.bitCount)) {
        return false;
    }
    Channel channels[3];
    if (info.bitCount != 24 && !MasksOf(info, headerBlock, channels)) {
        return false;
    }
    const size_t stride = BitmapRowStride(geometry.width, info.bitCount);
    const size_t pixelBytes = info.bitCount / 8;
    std::vector<uint8_t> out(size_t{3} * geometry.width * geometry.height);
    for (size_t stored = 0; stored < geometry.height; ++stored) {
        const size_t fromBottom = geometry.topDown ? geometry.height - 1 - stored : stored;
        const uint8_t* row = bits.data() + stored * stride;
        uint8_t* target = out.data() + fromBottom * geometry.width * 3;
        for (size_t x = 0; x < geometry.width; ++x) {
            const uint8_t* p = row + x * pixelBytes;
            if (info.bitCount == 24) {
                target[3 * x + 0] = p[2];
                target[3 * x + 1] = p[1];
                target[3 * x + 2] = p[0];
                continue;
            }
            const uint32_t pixel = info.bitCount == 16 ? LoadLE16(p) : LoadLE32(p);
            for (size_t c = 0; c < 3; ++c) {
                target[3 * x + c] = Widen(pixel, channels[c]);
            }
        }
    }
    rgb = std::move(out);
    return true;
}

}  // namespace morvane
