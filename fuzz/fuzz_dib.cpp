// The bitmap object and the thumbnail renderer: what the gallery does with
// every bitmap it shows.
//
// The input is a bitmap file; its last byte also picks a second thumbnail
// size, so that stretches other than the gallery's are drawn too.

#include <cstdint>
#include <span>

#include "dib/dib.h"
#include "dib/thumbnail.h"
#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::span<const uint8_t> file(data, size);
    morvane::CDib dib;
    const uint32_t read = dib.Read(file);
    morvane::fuzz::Require(read == 0 || read == size, "Read returns 0 or the file's length");
    morvane::fuzz::Require((read == 0) == dib.Empty(), "a refused bitmap leaves the object empty");
    if (read != 0) {
        dib.ColourCount();
        dib.InfoSize();
        dib.Compression();
        morvane::fuzz::Require(dib.BuildPalette() == 1, "a read bitmap has a palette or none");
    }
    const morvane::Thumbnail gallery = morvane::RenderThumbnail(dib);
    morvane::fuzz::Require(
        gallery.width == 32 && gallery.height == 64 && gallery.rgb.size() == 32 * 64 * 3,
        "the gallery's thumbnail has every pixel");
    const int side = size > 0 ? data[size - 1] % 97 + 1 : 1;
    const morvane::Thumbnail other = morvane::RenderThumbnail(dib, side, 97 - side + 1);
    morvane::fuzz::Require(other.rgb.size() == static_cast<size_t>(side) * (98 - side) * 3,
                           "any thumbnail has every pixel");
    return 0;
}
