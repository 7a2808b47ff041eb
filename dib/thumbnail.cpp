#include "dib/thumbnail.h"

#include <algorithm>

#include "dib/bitmap_file.h"

namespace morvane {
namespace {

struct Rgb {
    uint8_t red = 0;
    uint8_t green = 0;
    uint8_t blue = 0;
};

// Calls sample(x, rowFromBottom) for the source pixel under every target
// pixel. Nearest-neighbour, no blending: what a colour-on-colour stretch does.
template <typename Sample>
void Stretch(Thumbnail& thumbnail, const BitmapGeometry& source, Sample sample) {
    const size_t width = static_cast<size_t>(thumbnail.width);
    const size_t height = static_cast<size_t>(thumbnail.height);
    for (size_t ty = 0; ty < height; ++ty) {
        const size_t rowFromTop = ty * source.height / height;
        const size_t rowFromBottom = source.height - 1 - rowFromTop;
        uint8_t* out = &thumbnail.rgb[ty * width * 3];
        for (size_t tx = 0; tx < width; ++tx) {
            const Rgb colour = sample(tx * source.width / width, rowFromBottom);
            out[3 * tx + 0] = colour.red;
            out[3 * tx + 1] = colour.green;
            out[3 * tx + 2] = colour.blue;
        }
    }
}

void DrawIndexed(const CDib& dib, const BitmapInfoHeader& info, const BitmapGeometry& source,
                 Thumbnail& thumbnail) {
    std::vector<uint8_t> indices;
    if (!ReadBitmapIndices(info, dib.Bits(), indices)) {
        return;
    }
    // An index past the colour table draws black.
    std::vector<Rgb> colours(256);
    if (dib.Palette()) {
        const auto& entries = dib.Palette()->entries;
        for (size_t k = 0; k < std::min<size_t>(entries.size(), colours.size()); ++k) {
            colours[k] = {entries[k].red, entries[k].green, entries[k].blue};
        }
    }
    Stretch(thumbnail, source, [&](size_t x, size_t rowFromBottom) {
        return colours[indices[rowFromBottom * source.width + x]];
    });
}

void DrawTrueColour(const CDib& dib, const BitmapInfoHeader& info, const BitmapGeometry& source,
                    Thumbnail& thumbnail) {
    std::vector<uint8_t> rgb;
    if (!ReadBitmapColours(info, dib.Info(), dib.Bits(), rgb)) {
        return;
    }
    Stretch(thumbnail, source, [&](size_t x, size_t rowFromBottom) {
        const uint8_t* p = &rgb[3 * (rowFromBottom * source.width + x)];
        return Rgb{p[0], p[1], p[2]};
    });
}

}  // namespace

Thumbnail RenderThumbnail(const CDib& dib, int width, int height) {
    Thumbnail thumbnail;
    if (width <= 0 || height <= 0 || static_cast<uint32_t>(width) > kMaxBitmapDimension ||
        static_cast<uint32_t>(height) > kMaxBitmapDimension) {
        return thumbnail;
    }
    thumbnail.width = width;
    thumbnail.height = height;
    thumbnail.rgb.assign(static_cast<size_t>(width) * static_cast<size_t>(height) * 3, 0);

    BitmapInfoHeader info;
    BitmapGeometry source;
    if (dib.Empty() || !ParseBitmapInfoHeader(dib.Info(), info) ||
        !GetBitmapGeometry(info, source) || source.width == 0 || source.height == 0) {
        return thumbnail;
    }
    // Each drawer leaves the thumbnail blank when it cannot draw the bitmap.
    if (info.bitCount == 1 || info.bitCount == 4 || info.bitCount == 8) {
        DrawIndexed(dib, info, source, thumbnail);
    } else {
        DrawTrueColour(dib, info, source, thumbnail);
    }
    return thumbnail;
}

}  // namespace morvane
