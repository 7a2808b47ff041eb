// A replacement bitmap: the bitmap check, the bitmap-to-texture conversion
// (both modes) and the replacement preparation (8-bit bitmaps converted,
// 16-, 24- and 32-bit ones reduced to the palette), which reads the picture from
// a file as the texture commands do, for a face of 256 colours and for one
// that declares 16 (whose texels must then be fitted into 16 entries).
//
// The input is the bitmap file.

#include <algorithm>
#include <cstdint>
#include <span>
#include <vector>

#include "dib/bitmap_file.h"
#include "fuzz/fuzz_support.h"
#include "texture/png_picture.h"
#include "texture/texture_converter.h"

namespace {

const morvane::fuzz::ScratchFile& Picture() {
    static const morvane::fuzz::ScratchFile file("picture.bmp");
    return file;
}

// 16-, 24- and 32-bit bitmaps are reduced to the palette instead of converted.
bool EightBit(std::span<const uint8_t> file) {
    morvane::BitmapHeaders headers;
    return morvane::ParseBitmapHeaders(file, headers) && headers.info.bitCount == 8;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    morvane::fuzz::UseMemoryForTemporaryFiles();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using morvane::fuzz::Require;
    const std::span<const uint8_t> file(data, size);
    const int checked = morvane::CheckBitmapBytes(file);
    Require(checked == morvane::kBitmapAccepted || checked == morvane::kBitmapNotABitmap ||
                checked == morvane::kBitmapNot256Colour,
            "the check of bytes gives 0, 2 or 3");

    const morvane::CTextureConverter converter;
    std::vector<uint8_t> plain;
    std::vector<uint8_t> swapped;
    const int converted = converter.ConvertBitmapToTexture(file, plain, 9);
    const int convertedSwapped =
        converter.ConvertBitmapToTexture(file, swapped, morvane::kSwapOddRowsMode);
    Require((converted != 0) == (convertedSwapped != 0), "the mode does not decide acceptance");
    Require(converted == 0 || checked == morvane::kBitmapAccepted,
            "only a bitmap that passes the check converts");
    Require(plain.size() == swapped.size(), "the mode does not change the size");

    Picture().Write(file);
    Require(morvane::CheckBitmapFile(Picture().path()) == checked,
            "the file check agrees with the check of its bytes");
    morvane::TextureTableEntry face;
    face.width = morvane::kFaceWidth;
    face.height = morvane::kFaceHeight;
    face.format = morvane::kFaceFormat;
    face.byte10 = 255;
    morvane::ReplacementBytes out{};
    out.fill(0xEE);
    const morvane::Error prepared = morvane::PrepareReplacement(Picture().path(), face, {}, out);
    if (prepared != morvane::Error::None) {
        Require(std::all_of(out.begin(), out.end(), [](uint8_t b) { return b == 0xEE; }),
                "a refusal leaves the replacement untouched");
    } else if (!morvane::IsPng(file) && EightBit(file)) {
        Require(converted != 0, "a prepared 8-bit bitmap converts");
        const size_t copied = std::min(plain.size(), out.size());
        Require(
            std::equal(plain.begin(), plain.begin() + static_cast<ptrdiff_t>(copied), out.begin()),
            "the replacement is the conversion");
        Require(std::all_of(out.begin() + static_cast<ptrdiff_t>(copied), out.end(),
                            [](uint8_t b) { return b == 0; }),
                "a short palette is padded with zeros");
    }

    // A texture that shows 16 colours: texels may point only at those.
    face.byte10 = 15;
    morvane::ReplacementBytes fitted{};
    const morvane::Error fit = morvane::PrepareReplacementFromBytes(file, face, {}, fitted);
    Require(fit == prepared ||
                (prepared == morvane::Error::None && fit == morvane::Error::TooManyColours),
            "fewer colours refuse only for the colours");
    if (fit == morvane::Error::None) {
        Require(std::all_of(fitted.begin(), fitted.begin() + morvane::kFaceTexelBytes,
                            [](uint8_t texel) { return texel < 16; }),
                "every texel points at one of the colours the texture shows");
    }
    return 0;
}
