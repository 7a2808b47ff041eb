#include "texture/texture_converter.h"

#include <algorithm>
#include <array>
#include <limits>

#include "common/byte_cursor.h"
#include "common/byte_order.h"
#include "common/file_io.h"

namespace morvane {
namespace {

constexpr size_t kBitmap16HeaderSize = 54;
constexpr uint32_t kPixelsPerMetre = 2834;  // 72 dots per inch

// The game's 5-5-5-1 entry without its alpha bit is the bitmap's 5-5-5 pixel.
uint16_t PixelFromPaletteEntry(uint16_t entry) {
    return static_cast<uint16_t>(entry >> 1);
}

}  // namespace

Error CTextureConverter::ConvertTextureFileToBitmap(std::span<const uint8_t> file,
                                                    std::vector<uint8_t>& bitmap) const {
    if (file.size() < kTextureFileHeaderSize ||
        !std::equal(kTextureMagic.begin(), kTextureMagic.end(), file.begin())) {
        return Error::Invalid;
    }
    const size_t width = file[8];
    const size_t height = file[9];
    const size_t paletteOffset = LoadLE32(&file[12]);
    const std::span<const uint8_t> payload = file.subspan(kTextureFileHeaderSize);

    // Every texel, and every palette entry that a texel names, must lie in
    // the payload; a short file gets no bitmap rather than invented colours.
    const size_t count = width * height;
    if (count > payload.size()) {
        return Error::TooSmallForPicture;
    }
    const std::span<const uint8_t> texels = payload.first(count);
    if (count > 0) {
        const size_t paletteBytes =
            2 * (size_t{*std::max_element(texels.begin(), texels.end())} + 1);
        if (!AddFits(paletteOffset, paletteBytes, payload.size())) {
            return Error::TooSmallForPicture;
        }
    }
    std::vector<uint16_t> pixels(count);
    for (size_t i = 0; i < count; ++i) {
        pixels[i] =
            PixelFromPaletteEntry(LoadBE16(&payload[paletteOffset + 2 * size_t{texels[i]}]));
    }
    return BuildBitmap16(static_cast<int>(width), static_cast<int>(height), 16, pixels, bitmap);
}

bool CTextureConverter::ConvertTextureToBitmap(const std::filesystem::path& texturePath,
                                               const std::filesystem::path& bitmapPath) const {
    std::vector<uint8_t> file;
    std::vector<uint8_t> bitmap;
    return ReadFileBytes(texturePath, file) == Error::None &&
           ConvertTextureFileToBitmap(file, bitmap) == Error::None &&
           WriteFileAtomically(bitmapPath, {bitmap}, Durability::NoFlush);
}

Error CTextureConverter::BuildBitmap16(int width, int height, int bitsPerPixel,
                                       std::span<const uint16_t> pixels,
                                       std::vector<uint8_t>& bitmap) const {
    if (width < 0 || height < 0 || bitsPerPixel < 0 ||
        bitsPerPixel > std::numeric_limits<uint16_t>::max()) {
        return Error::Invalid;
    }
    const size_t count = static_cast<size_t>(width) * static_cast<size_t>(height);
    const size_t limit = std::numeric_limits<uint32_t>::max() - kBitmap16HeaderSize;
    if (pixels.size() < count || !MultiplyFits(count, 2, limit)) {
        return Error::Invalid;
    }
    const uint32_t imageBytes = static_cast<uint32_t>(count * 2);

    // Rows go out unpadded, texel row 0 first; with the positive height a
    // reader shows texel row 0 at the bottom.
    bitmap.assign(kBitmap16HeaderSize, 0);
    uint8_t* header = bitmap.data();
    StoreLE16(&header[0], 0x4D42);  // "BM"
    StoreLE32(&header[2], static_cast<uint32_t>(kBitmap16HeaderSize) + imageBytes);
    StoreLE32(&header[10], static_cast<uint32_t>(kBitmap16HeaderSize));
    StoreLE32(&header[14], 40);
    StoreLE32(&header[18], static_cast<uint32_t>(width));
    StoreLE32(&header[22], static_cast<uint32_t>(height));
    StoreLE16(&header[26], 1);
    StoreLE16(&header[28], static_cast<uint16_t>(bitsPerPixel));
    StoreLE32(&header[34], imageBytes);
    StoreLE32(&header[38], kPixelsPerMetre);
    StoreLE32(&header[42], kPixelsPerMetre);

    bitmap.resize(kBitmap16HeaderSize + imageBytes);
    uint8_t* image = bitmap.data() + kBitmap16HeaderSize;
    for (size_t i = 0; i < count; ++i) {
        StoreLE16(&image[2 * i], pixels[i]);
    }
    return Error::None;
}

bool CTextureConverter::WriteBitmap16(int width, int height, int bitsPerPixel,
                                      std::span<const uint16_t> pixels,
                                      const std::filesystem::path& path) const {
    std::vector<uint8_t> bitmap;
    return BuildBitmap16(width, height, bitsPerPixel, pixels, bitmap) == Error::None &&
           WriteFileAtomically(path, {bitmap}, Durability::NoFlush);
}

}  // namespace morvane
