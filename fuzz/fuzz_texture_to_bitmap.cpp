// The texture file and its conversion to a 16-bit bitmap, which the
// extraction pass and the export command run on every face texture, and a
// face's export as a PNG.
//
// The input is the texture file. Whatever bitmap comes out must be one that
// the bitmap object reads back as the picture the texture file describes, and
// a face exported as a PNG must come back as the same texture when it is
// taken as a replacement.

#include <cstdint>
#include <span>
#include <vector>

#include "common/byte_order.h"
#include "dib/dib.h"
#include "dib/thumbnail.h"
#include "fuzz/fuzz_support.h"
#include "texture/png_picture.h"
#include "texture/texture_converter.h"

namespace {

const morvane::fuzz::ScratchFile& TextureFile() {
    static const morvane::fuzz::ScratchFile file("texture.tex");
    return file;
}

const morvane::fuzz::ScratchFile& BitmapFile() {
    static const morvane::fuzz::ScratchFile file("texture.bmp");
    return file;
}

// The PNG export of a face and its way back as a replacement give the same
// 2560 bytes, but for the palette's alpha bits, which come back clear.
void CheckPngRoundTrip(std::span<const uint8_t> texture) {
    using morvane::fuzz::Require;
    std::vector<uint8_t> png;
    Require(morvane::ConvertTextureToPng(texture, morvane::kFaceWidth, morvane::kFaceHeight, png),
            "a face can be exported as a PNG");
    morvane::TextureTableEntry face;
    face.width = morvane::kFaceWidth;
    face.height = morvane::kFaceHeight;
    face.format = morvane::kFaceFormat;
    face.byte10 = 255;
    morvane::ReplacementBytes back{};
    Require(morvane::PrepareReplacementFromBytes(png, face, {}, back) == morvane::Error::None,
            "an exported PNG is taken as a replacement");
    std::vector<uint8_t> expected(texture.begin(), texture.end());
    for (size_t at = morvane::kFaceTexelBytes + 1; at < expected.size(); at += 2) {
        expected[at] &= 0xFE;
    }
    Require(std::equal(back.begin(), back.end(), expected.begin(), expected.end()),
            "an exported PNG comes back as the same texture");
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    morvane::fuzz::UseMemoryForTemporaryFiles();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using morvane::fuzz::Require;
    const std::span<const uint8_t> file(data, size);
    if (size >= morvane::kTextureFileHeaderSize + morvane::kFaceTextureBytes &&
        data[8] == morvane::kFaceWidth && data[9] == morvane::kFaceHeight) {
        CheckPngRoundTrip(
            file.subspan(morvane::kTextureFileHeaderSize, morvane::kFaceTextureBytes));
    }
    TextureFile().Write(file);
    std::error_code ignored;
    std::filesystem::remove(BitmapFile().path(), ignored);
    const bool converted = morvane::CTextureConverter().ConvertTextureToBitmap(TextureFile().path(),
                                                                               BitmapFile().path());
    Require(converted == std::filesystem::exists(BitmapFile().path()),
            "a bitmap is written exactly when the conversion succeeds");
    if (!converted) {
        return 0;
    }
    const int width = data[8];
    const int height = data[9];
    morvane::CDib dib;
    const uint32_t read = dib.Read(BitmapFile().path());
    // Rows go out unpadded, as the game's tool wrote them: only an even width
    // makes rows of whole 4-byte words, a well-formed bitmap. A bitmap
    // without pixels has no image for the object to hold.
    if (width % 2 != 0 || width * height == 0) {
        return 0;
    }
    Require(read != 0, "the bitmap that a texture makes can be read");
    Require(dib.Width() == width && dib.Height() == height && dib.BitCount() == 16,
            "the bitmap has the texture's size and 16 bits a pixel");
    const morvane::Thumbnail thumbnail = morvane::RenderThumbnail(dib);
    Require(thumbnail.rgb.size() == 32 * 64 * 3, "its thumbnail has every pixel");
    return 0;
}
