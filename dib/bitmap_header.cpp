#include "dib/bitmap_file.h"

#include <limits>

#include "common/byte_cursor.h"

namespace morvane {

bool IsSupportedInfoHeaderSize(uint32_t size) {
    // The 12-byte core header has 16-bit dimensions and 3-byte colour entries;
    // nothing this tool meets writes it, so it is refused with the rest.
    return size == 40 || size == 52 || size == 56 || size == 108 || size == 124;
}

bool ParseBitmapInfoHeader(std::span<const uint8_t> bytes, BitmapInfoHeader& info) {
    ByteCursor cursor(bytes);
    BitmapInfoHeader parsed;
    parsed.size = cursor.LE32();
    if (!cursor.ok() || !IsSupportedInfoHeaderSize(parsed.size) || parsed.size > bytes.size()) {
        return false;
    }
    parsed.width = cursor.LE32Signed();
    parsed.height = cursor.LE32Signed();
    parsed.planes = cursor.LE16();
    parsed.bitCount = cursor.LE16();
    parsed.compression = cursor.LE32();
    parsed.sizeImage = cursor.LE32();
    parsed.xPelsPerMeter = cursor.LE32Signed();
    parsed.yPelsPerMeter = cursor.LE32Signed();
    parsed.clrUsed = cursor.LE32();
    parsed.clrImportant = cursor.LE32();
    if (!cursor.ok()) {
        return false;
    }
    info = parsed;
    return true;
}

bool ParseBitmapHeaders(std::span<const uint8_t> file, BitmapHeaders& headers) {
    ByteCursor cursor(file);
    BitmapHeaders parsed;
    parsed.file.type = cursor.LE16();
    parsed.file.size = cursor.LE32();
    cursor.Skip(4);
    parsed.file.offBits = cursor.LE32();
    if (!cursor.ok() || parsed.file.type != kBitmapType) {
        return false;
    }
    if (!ParseBitmapInfoHeader(file.subspan(kBitmapFileHeaderSize), parsed.info)) {
        return false;
    }
    // A colour table that would overlap the info header, or a pixel array
    // that starts past the end, means the header describes some other file.
    const size_t headersEnd = kBitmapFileHeaderSize + parsed.info.size;
    if (parsed.file.offBits < headersEnd || parsed.file.offBits > file.size()) {
        return false;
    }
    headers = parsed;
    return true;
}

size_t ColourTableBytes(const BitmapHeaders& headers) {
    return headers.file.offBits - kBitmapFileHeaderSize - headers.info.size;
}

bool GetBitmapGeometry(const BitmapInfoHeader& info, BitmapGeometry& geometry) {
    if (info.width < 0 || info.height == std::numeric_limits<int32_t>::min()) {
        return false;
    }
    const uint32_t width = static_cast<uint32_t>(info.width);
    const uint32_t height = static_cast<uint32_t>(info.height < 0 ? -info.height : info.height);
    if (width > kMaxBitmapDimension || height > kMaxBitmapDimension ||
        !MultiplyFits(width, height, kMaxBitmapPixels)) {
        return false;
    }
    geometry.width = width;
    geometry.height = height;
    geometry.topDown = info.height < 0;
    return true;
}

size_t BitmapRowStride(uint32_t width, uint16_t bitCount) {
    const size_t bits = static_cast<size_t>(width) * bitCount;
    return (bits + 31) / 32 * 4;
}

size_t UncompressedImageBytes(const BitmapGeometry& geometry, uint16_t bitCount) {
    if (geometry.width == 0 || geometry.height == 0) {
        return 0;
    }
    const size_t stride = BitmapRowStride(geometry.width, bitCount);
    const size_t lastRow = (static_cast<size_t>(geometry.width) * bitCount + 7) / 8;
    return stride * (geometry.height - 1) + lastRow;
}

}  // namespace morvane
