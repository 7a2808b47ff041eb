#include "texture/texture_converter.h"

#include "common/file_io.h"
#include "dib/bitmap_file.h"

namespace morvane {

Error CheckBitmap(std::span<const uint8_t> file) {
    BitmapHeaders headers;
    if (!ParseBitmapHeaders(file, headers)) {
        return Error::NotABitmap;
    }
    // 8 bits index the colour table; 16, 24 and 32 hold their colours, which
    // are reduced to the texture's palette.
    switch (headers.info.bitCount) {
        case 8:
        case 16:
        case 24:
        case 32:
            break;
        default:
            return Error::Not256ColourBitmap;
    }
    return Error::None;
}

int CheckBitmapBytes(std::span<const uint8_t> file) {
    switch (CheckBitmap(file)) {
        case Error::None:
            return kBitmapAccepted;
        case Error::Not256ColourBitmap:
            return kBitmapNot256Colour;
        default:
            return kBitmapNotABitmap;
    }
}

int CheckBitmapFile(const std::filesystem::path& path) {
    std::vector<uint8_t> file;
    if (ReadFileBytes(path, file) != Error::None) {
        return kBitmapCouldNotOpen;
    }
    return CheckBitmapBytes(file);
}

}  // namespace morvane
