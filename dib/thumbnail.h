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

// A bitmap it cannot draw, or an empty CDib, gives a blank (black) thumbnail.
Thumbnail RenderThumbnail(const CDib& dib, int width = 32, int height = 64);

}  // namespace morvane
