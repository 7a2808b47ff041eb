#include "texture/texture_converter.h"

#include "common/file_io.h"
#include "dib/bitmap_file.h"

namespace morvane {

int CheckBitmapBytes(std::span<const uint8_t> file) {
    BitmapHeaders headers;
    if (!ParseBitmapHeaders(file, headers)) {
        return kBitmapNotABitmap;
    }
    if (headers.info.bitCount != 8) {
        return kBitmapNot256Colour;
    }
    return kBitmapAccepted;
}

int CheckBitmapFile(const std::filesystem::path& path) {
    std::vector<uint8_t> file;
    if (ReadFileBytes(path, file) != Error::None) {
        return kBitmapCouldNotOpen;
    }
    return CheckBitmapBytes(file);
}

}  // namespace morvane
