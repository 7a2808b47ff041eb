#pragma once
// Draws a bitmap into a thumbnail of a fixed size, sampling nearest-neighbour
// as a colour-on-colour stretch does.

#include <cstdint>
#include <vector>

#include "dib/dib.h"

namespace morvane {

struct Thumbnail {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rgb;  // 3 bytes a pixel (red, green, blue), top row first
};

// Draws uncompressed 1-, 4- and 8-bit bitmaps through the colour table (an
// index past the table is black), RLE8 and RLE4 ones the same way, and
// 16-bit (5-5-5 or with channel masks), 24- and 32-bit ones; bottom-up or
// top-down.
// A bitmap it cannot draw, or an empty CDib, gives a blank (black) thumbnail.
// A size that is not positive, or above 32768, gives an empty one (0 x 0).
Thumbnail RenderThumbnail(const CDib& dib, int width = 32, int height = 64);

}  // namespace morvane
