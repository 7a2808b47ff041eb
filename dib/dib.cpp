#include "dib/dib.h"

#include <algorithm>
#include <limits>

#include "common/byte_order.h"
#include "common/file_io.h"
#include "dib/bitmap_file.h"

namespace morvane {
namespace {

// Room after the colour table that the file stores, so that a table the
// header declares but the file leaves short reads as black entries.
constexpr size_t kSpareColourBytes = 1024;

// Offsets of info header fields within the header block.
constexpr size_t kWidthOffset = 4;
constexpr size_t kHeightOffset = 8;
constexpr size_t kBitCountOffset = 14;
constexpr size_t kCompressionOffset = 16;
constexpr size_t kClrUsedOffset = 32;

bool HasKnownDepth(uint16_t bitCount) {
    return bitCount == 1 || bitCount == 4 || bitCount == 8 || bitCount == 16 || bitCount == 24 ||
           bitCount == 32;
}

// An uncompressed pixel array shorter than its rows is a file cut short.
// Compressed bits have no length to check them against.
bool BitsCutShort(const BitmapInfoHeader& info, size_t bitsSize) {
    BitmapGeometry geometry;
    if (info.compression != kCompressionNone || !HasKnownDepth(info.bitCount) ||
        !GetBitmapGeometry(info, geometry)) {
        return false;
    }
    return bitsSize < UncompressedImageBytes(geometry, info.bitCount);
}

}  // namespace

uint32_t CDib::Read(std::span<const uint8_t> file) {
    Free();
    BitmapHeaders headers;
    if (file.size() > std::numeric_limits<uint32_t>::max() || !ParseBitmapHeaders(file, headers)) {
        return 0;
    }
    const size_t offBits = headers.file.offBits;
    // A file that ends where its bits should start has no image at all.
    if (offBits == file.size() || BitsCutShort(headers.info, file.size() - offBits)) {
        return 0;
    }
    const std::span<const uint8_t> header =
        file.subspan(kBitmapFileHeaderSize, offBits - kBitmapFileHeaderSize);
    m_pInfo.assign(header.size() + kSpareColourBytes, 0);
    std::copy(header.begin(), header.end(), m_pInfo.begin());
    m_pBits.assign(file.begin() + static_cast<ptrdiff_t>(offBits), file.end());
    BuildPalette();
    return static_cast<uint32_t>(file.size());
}

uint32_t CDib::Read(const std::filesystem::path& path) {
    Free();
    std::vector<uint8_t> file;
    if (ReadFileBytes(path, file) != Error::None) {
        return 0;
    }
    return Read(std::span<const uint8_t>(file));
}

void CDib::Free() {
    m_pBits.clear();
    m_pBits.shrink_to_fit();
    m_pInfo.clear();
    m_pInfo.shrink_to_fit();
    m_pPalette.reset();
}

uint16_t CDib::ColourCount() const {
    if (Empty()) {
        return 0;
    }
    const uint32_t clrUsed = LoadLE32(&m_pInfo[kClrUsedOffset]);
    if (clrUsed != 0) {
        return static_cast<uint16_t>(clrUsed);
    }
    switch (BitCount()) {
        case 1: return 2;
        case 4: return 16;
        case 8: return 256;
        default: return 0;
    }
}

int CDib::BuildPalette() {
    if (Empty()) {
        return 0;
    }
    size_t count = ColourCount();
    if (count == 0) {
        return 1;
    }
    // biClrUsed can claim far more entries than the block has room for.
    const size_t tableStart = InfoSize();
    count = std::min(count, (m_pInfo.size() - tableStart) / 4);
    LogicalPalette palette;
    palette.entries.resize(count);
    for (size_t k = 0; k < count; ++k) {
        const uint8_t* quad = &m_pInfo[tableStart + 4 * k];
        palette.entries[k] = {quad[2], quad[1], quad[0], 0};
    }
    m_pPalette = std::move(palette);
    return 1;
}

uint32_t CDib::InfoSize() const {
    return Empty() ? 0 : LoadLE32(&m_pInfo[0]);
}

int32_t CDib::Width() const {
    return Empty() ? 0 : static_cast<int32_t>(LoadLE32(&m_pInfo[kWidthOffset]));
}

int32_t CDib::Height() const {
    return Empty() ? 0 : static_cast<int32_t>(LoadLE32(&m_pInfo[kHeightOffset]));
}

uint16_t CDib::BitCount() const {
    return Empty() ? 0 : LoadLE16(&m_pInfo[kBitCountOffset]);
}

uint32_t CDib::Compression() const {
    return Empty() ? 0 : LoadLE32(&m_pInfo[kCompressionOffset]);
}

}  // namespace morvane
