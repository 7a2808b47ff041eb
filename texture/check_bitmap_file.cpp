#include "texture/texture_converter.h"

#include "common/file_io.h"
#include "dib/bitmap_file.h"

namespace morvane {

Error CheckBitmap(std::span<const uint8_t> file) {
    BitmapHeaders headers;
    if (!ParseBitmapHeaders(file, headers)) {
        return Error::NotABitmap;
    }
    if (headers.info.bitCount != 8) {
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
