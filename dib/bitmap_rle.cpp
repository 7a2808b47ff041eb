#include "dib/bitmap_file.h"

#include <algorithm>

#include "common/byte_cursor.h"

// Run-length-encoded bits are pairs of bytes. A first byte n above zero is a
// run: n pixels of the second byte's index (RLE8) or of its two nibbles in
// turn, high first (RLE4). A first byte of zero escapes, by the second byte:
//   0       end of line: the next pixel is the start of the next row
//   1       end of bitmap
//   2       delta: two more bytes, columns right and rows on
//   3..255  absolute: that many pixels follow literally (one byte each, or
//           two to a byte for RLE4), padded to a whole number of 16-bit words

namespace morvane {
namespace {

class IndexWriter {
public:
    IndexWriter(std::vector<uint8_t>& out, size_t width, size_t height)
        : m_out(out), m_width(width), m_height(height) {}

    // Columns and rows only ever grow by at most 255 a step, so neither can
    // wrap within any input that fits in memory.
    void Put(uint8_t index) {
        if (m_x < m_width && m_y < m_height) {
            m_out[m_y * m_width + m_x] = index;
        }
        ++m_x;
    }
    void EndOfLine() {
        m_x = 0;
        ++m_y;
    }
    void Move(size_t right, size_t down) {
        m_x += right;
        m_y += down;
    }
    bool Done() const { return m_y >= m_height; }
    bool RowFull() const { return m_x >= m_width; }

private:
    std::vector<uint8_t>& m_out;
    size_t m_width;
    size_t m_height;
    size_t m_x = 0;
    size_t m_y = 0;
};

uint8_t Nibble(uint8_t byte, size_t i) {
    return (i % 2 == 0) ? static_cast<uint8_t>(byte >> 4) : static_cast<uint8_t>(byte & 0x0F);
}

void PutRun(IndexWriter& writer, uint8_t count, uint8_t value, uint16_t bitCount) {
    for (size_t i = 0; i < count && !writer.RowFull(); ++i) {
        writer.Put(bitCount == 8 ? value : Nibble(value, i));
    }
}

// False when the data ends inside the literal pixels.
bool PutAbsolute(IndexWriter& writer, ByteCursor& cursor, uint8_t count, uint16_t bitCount) {
    const size_t bytes = bitCount == 8 ? count : (count + 1u) / 2;
    const size_t padded = bytes + (bytes & 1);
    const size_t available = std::min(padded, cursor.Remaining());
    const std::span<const uint8_t> literal = cursor.Bytes(available);
    for (size_t i = 0; i < count; ++i) {
        const size_t byte = bitCount == 8 ? i : i / 2;
        if (byte >= literal.size()) {
            return false;
        }
        writer.Put(bitCount == 8 ? literal[byte] : Nibble(literal[byte], i));
    }
    return available == padded;
}

}  // namespace

bool DecodeRunLength(std::span<const uint8_t> data, uint16_t bitCount, uint32_t width,
                     uint32_t height, std::vector<uint8_t>& indices) {
    if ((bitCount != 8 && bitCount != 4) || width > kMaxBitmapDimension ||
        height > kMaxBitmapDimension || !MultiplyFits(width, height, kMaxBitmapPixels)) {
        return false;
    }
    std::vector<uint8_t> out(static_cast<size_t>(width) * height, 0);
    IndexWriter writer(out, width, height);
    ByteCursor cursor(data);
    while (!writer.Done()) {
        const uint8_t count = cursor.U8();
        const uint8_t value = cursor.U8();
        if (!cursor.ok()) {
            break;
        }
        if (count > 0) {
            PutRun(writer, count, value, bitCount);
            continue;
        }
        if (value == 0) {
            writer.EndOfLine();
        } else if (value == 1) {
            break;
        } else if (value == 2) {
            const uint8_t right = cursor.U8();
            const uint8_t down = cursor.U8();
            if (!cursor.ok()) {
                break;
            }
            writer.Move(right, down);
        } else if (!PutAbsolute(writer, cursor, value, bitCount)) {
            break;
        }
    }
    indices = std::move(out);
    return true;
}

}  // namespace morvane
