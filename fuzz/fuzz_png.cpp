// A replacement PNG: libpng's decoding of a hostile file under our limits,
// the texels and palette taken from it, the reduction to the colours a
// texture shows (exact or quantised, with and without dithering), and the
// whole replacement preparation.
//
// The input is the PNG file. Its last byte picks the colours the texture
// shows (1 to 256) and whether to dither.

#include <algorithm>
#include <cstdint>
#include <span>

#include "fuzz/fuzz_support.h"
#include "texture/colour_reduction.h"
#include "texture/png_picture.h"
#include "texture/texture_converter.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using morvane::fuzz::Require;
    const std::span<const uint8_t> file(data, size);
    const uint8_t last = size > 0 ? data[size - 1] : 0;
    const size_t colours = size_t{last} + 1;
    const bool dither = (size % 2) != 0;

    morvane::PngPicture picture;
    if (morvane::DecodePng(file, picture)) {
        const size_t pixels = size_t{picture.width} * picture.height;
        Require(picture.width > 0 && picture.height > 0 &&
                    picture.width <= morvane::kMaxPngDimension &&
                    picture.height <= morvane::kMaxPngDimension,
                "a decoded picture lies within the limits");
        Require(picture.indexed ? picture.indices.size() == pixels && !picture.palette.empty() &&
                                      picture.palette.size() <= 256
                                : picture.rgb.size() == 3 * pixels,
                "a decoded picture has every pixel");
        morvane::IndexedTexels texels;
        const morvane::Error reduced =
            morvane::ConvertPngToTexels(picture, {colours, dither}, texels);
        if (reduced == morvane::Error::None) {
            Require(texels.texels.size() == pixels, "the texels are the picture's pixels");
            // An indexed picture whose texels already use only the first
            // entries keeps its whole palette; the texture loads only those.
            Require(!texels.palette.empty() && texels.palette.size() <= 256,
                    "the palette holds at most 256 entries");
            Require(std::all_of(texels.texels.begin(), texels.texels.end(),
                                [&](uint8_t t) { return t < colours; }),
                    "every texel points at one of those colours");
        } else {
            Require(reduced == morvane::Error::Invalid, "a reduction fails only as Invalid");
        }
    }

    morvane::TextureTableEntry face;
    face.width = morvane::kFaceWidth;
    face.height = morvane::kFaceHeight;
    face.format = (last & 1) != 0 ? morvane::kFaceFormat : uint8_t{morvane::kSwapOddRowsMode};
    face.byte10 = last;
    morvane::ReplacementBytes out{};
    out.fill(0xEE);
    const morvane::Error prepared = morvane::PrepareReplacementFromBytes(file, face, {dither}, out);
    if (prepared != morvane::Error::None) {
        Require(std::all_of(out.begin(), out.end(), [](uint8_t b) { return b == 0xEE; }),
                "a refusal leaves the replacement untouched");
    } else if (morvane::IsPng(file)) {
        Require(std::all_of(out.begin(), out.begin() + morvane::kFaceTexelBytes,
                            [&](uint8_t t) { return t < colours; }),
                "every texel of a prepared PNG points at a colour the texture shows");
    }
    return 0;
}
