#include "texture/png_picture.h"

#include <png.h>

#include <algorithm>
#include <csetjmp>

#include "common/byte_cursor.h"

namespace morvane {
namespace {

constexpr size_t kIhdrDataSize = 13;
// Text and other ancillary chunks are of no use here; this keeps a hostile
// file from making libpng hold much memory for them.
constexpr png_alloc_size_t kMaxChunkBytes = 1u << 20;
constexpr png_uint_32 kMaxAncillaryChunks = 64;

// libpng reports through these. Nothing is printed: the caller turns a
// failure into an error code, and a warning changes nothing for us.
[[noreturn]] void OnPngError(png_structp png, png_const_charp) {
    png_longjmp(png, 1);
}
void OnPngWarning(png_structp, png_const_charp) {}

struct MemoryReader {
    const uint8_t* data;
    size_t size;
    size_t position;
};

void ReadFromMemory(png_structp png, png_bytep into, size_t length) {
    MemoryReader* reader = static_cast<MemoryReader*>(png_get_io_ptr(png));
    if (length > reader->size - reader->position) {
        png_error(png, "the file ends early");
    }
    std::copy_n(reader->data + reader->position, length, into);
    reader->position += length;
}

void WriteToVector(png_structp png, png_bytep data, size_t length) {
    std::vector<uint8_t>* out = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(png));
    bool stored = true;
    try {
        out->insert(out->end(), data, data + length);
    } catch (...) {
        stored = false;
    }
    if (!stored) {
        png_error(png, "out of memory");
    }
}

void FlushNothing(png_structp) {}

// libpng sizes a chunk's buffer from the chunk's length field before it reads
// the data, so a 200-byte file whose text chunk claims 2 GiB would have it
// allocate and clear 2 GiB before it finds the file ends. Every chunk up to
// IEND must lie whole within the file before libpng sees any of it.
bool ChunksFitTheFile(std::span<const uint8_t> file) {
    constexpr uint32_t kMaxChunkLength = 0x7FFFFFFF;
    constexpr size_t kCrcSize = 4;
    ByteCursor cursor(file);
    cursor.Skip(kPngSignature.size());
    for (;;) {
        const uint32_t length = cursor.BE32();
        const std::span<const uint8_t> type = cursor.Bytes(4);
        if (!cursor.ok() || length > kMaxChunkLength || !cursor.Skip(length) ||
            !cursor.Skip(kCrcSize)) {
            return false;
        }
        if (std::equal(type.begin(), type.end(), "IEND")) {
            return true;
        }
    }
}

// Owns libpng's read structures for one decode.
class PngReadHandle {
public:
    PngReadHandle() {
        m_png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, OnPngError, OnPngWarning);
        if (m_png) {
            m_info = png_create_info_struct(m_png);
        }
    }
    ~PngReadHandle() {
        if (m_png) {
            png_destroy_read_struct(&m_png, m_info ? &m_info : nullptr, nullptr);
        }
    }
    PngReadHandle(const PngReadHandle&) = delete;
    PngReadHandle& operator=(const PngReadHandle&) = delete;

    png_structp png() const { return m_png; }
    png_infop info() const { return m_info; }

private:
    png_structp m_png = nullptr;
    png_infop m_info = nullptr;
};

class PngWriteHandle {
public:
    PngWriteHandle() {
        m_png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, OnPngError, OnPngWarning);
        if (m_png) {
            m_info = png_create_info_struct(m_png);
        }
    }
    ~PngWriteHandle() {
        if (m_png) {
            png_destroy_write_struct(&m_png, m_info ? &m_info : nullptr);
        }
    }
    PngWriteHandle(const PngWriteHandle&) = delete;
    PngWriteHandle& operator=(const PngWriteHandle&) = delete;

    png_structp png() const { return m_png; }
    png_infop info() const { return m_info; }

private:
    png_structp m_png = nullptr;
    png_infop m_info = nullptr;
};

// Where the decoded rows go. The buffers are made before libpng is called
// and outlive any jump out of it.
struct DecodeTarget {
    PngPicture picture;
    std::vector<png_bytep> rows;
};

// Everything that libpng may jump out of happens inside these two functions,
// which own no object with a destructor: a jump skips no destructor.
bool ReadWithLibpng(png_structp png, png_infop info, MemoryReader* reader, DecodeTarget* target) {
    if (setjmp(png_jmpbuf(png))) {
        return false;
    }
    png_set_read_fn(png, reader, ReadFromMemory);
    png_set_user_limits(png, kMaxPngDimension, kMaxPngDimension);
    png_set_chunk_malloc_max(png, kMaxChunkBytes);
    png_set_chunk_cache_max(png, kMaxAncillaryChunks);
    png_read_info(png, info);

    const png_uint_32 width = png_get_image_width(png, info);
    const png_uint_32 height = png_get_image_height(png, info);
    const int colourType = png_get_color_type(png, info);
    const int bitDepth = png_get_bit_depth(png, info);
    if (width == 0 || height == 0 || width > kMaxPngDimension || height > kMaxPngDimension) {
        return false;
    }
    const bool indexed = colourType == PNG_COLOR_TYPE_PALETTE;
    if (indexed) {
        png_colorp entries = nullptr;
        int count = 0;
        if (png_get_PLTE(png, info, &entries, &count) == 0 || count < 1 || count > 256) {
            return false;
        }
        target->picture.palette.resize(static_cast<size_t>(count));
        for (size_t k = 0; k < target->picture.palette.size(); ++k) {
            target->picture.palette[k] = {entries[k].red, entries[k].green, entries[k].blue};
        }
        png_set_packing(png);  // one byte per index at any bit depth
    } else {
        if ((colourType & PNG_COLOR_MASK_COLOR) == 0) {
            if (bitDepth < 8) {
                png_set_expand_gray_1_2_4_to_8(png);
            }
            png_set_gray_to_rgb(png);
        }
        png_set_strip_16(png);  // keeps the high byte, whose top bits are all we use
        png_set_strip_alpha(png);
    }
    png_set_interlace_handling(png);
    png_read_update_info(png, info);

    const size_t channels = indexed ? 1 : 3;
    if (png_get_rowbytes(png, info) != channels * width) {
        return false;
    }
    std::vector<uint8_t>& pixels = indexed ? target->picture.indices : target->picture.rgb;
    pixels.resize(channels * width * height);
    target->rows.resize(height);
    for (size_t row = 0; row < height; ++row) {
        target->rows[row] = pixels.data() + row * channels * width;
    }
    png_read_image(png, target->rows.data());
    png_read_end(png, nullptr);
    target->picture.width = width;
    target->picture.height = height;
    target->picture.indexed = indexed;
    return true;
}

bool WriteWithLibpng(png_structp png, png_infop info, uint32_t width, uint32_t height,
                     const png_color* palette, int paletteCount, png_bytep* rows,
                     std::vector<uint8_t>* out) {
    if (setjmp(png_jmpbuf(png))) {
        return false;
    }
    png_set_write_fn(png, out, WriteToVector, FlushNothing);
    png_set_IHDR(png, info, width, height, 8, PNG_COLOR_TYPE_PALETTE, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_set_PLTE(png, info, palette, paletteCount);
    png_write_info(png, info);
    png_write_image(png, rows);
    png_write_end(png, info);
    return true;
}

}  // namespace

bool IsPng(std::span<const uint8_t> file) {
    return file.size() >= kPngSignature.size() &&
           std::equal(kPngSignature.begin(), kPngSignature.end(), file.begin());
}

bool ReadPngSize(std::span<const uint8_t> file, uint32_t& width, uint32_t& height) {
    if (!IsPng(file)) {
        return false;
    }
    ByteCursor cursor(file);
    cursor.Skip(kPngSignature.size());
    const uint32_t length = cursor.BE32();
    const std::span<const uint8_t> type = cursor.Bytes(4);
    const uint32_t claimedWidth = cursor.BE32();
    const uint32_t claimedHeight = cursor.BE32();
    if (!cursor.ok() || length != kIhdrDataSize || !std::equal(type.begin(), type.end(), "IHDR")) {
        return false;
    }
    width = claimedWidth;
    height = claimedHeight;
    return true;
}

bool DecodePng(std::span<const uint8_t> file, PngPicture& picture) {
    if (!IsPng(file) || !ChunksFitTheFile(file)) {
        return false;
    }
    PngReadHandle handle;
    if (!handle.png() || !handle.info()) {
        return false;
    }
    MemoryReader reader{file.data(), file.size(), 0};
    DecodeTarget target;
    if (!ReadWithLibpng(handle.png(), handle.info(), &reader, &target)) {
        return false;
    }
    picture = std::move(target.picture);
    return true;
}

bool EncodeIndexedPng(uint32_t width, uint32_t height, std::span<const uint8_t> indices,
                      std::span<const PngColour> palette, std::vector<uint8_t>& file) {
    if (width == 0 || height == 0 || width > kMaxPngDimension || height > kMaxPngDimension ||
        indices.size() != size_t{width} * height || palette.empty() || palette.size() > 256) {
        return false;
    }
    std::vector<png_color> entries(palette.size());
    for (size_t k = 0; k < palette.size(); ++k) {
        entries[k] = {palette[k].red, palette[k].green, palette[k].blue};
    }
    // libpng takes non-const row pointers but only reads through them.
    std::vector<uint8_t> pixels(indices.begin(), indices.end());
    std::vector<png_bytep> rows(height);
    for (size_t row = 0; row < height; ++row) {
        rows[row] = pixels.data() + row * width;
    }
    PngWriteHandle handle;
    if (!handle.png() || !handle.info()) {
        return false;
    }
    std::vector<uint8_t> encoded;
    if (!WriteWithLibpng(handle.png(), handle.info(), width, height, entries.data(),
                         static_cast<int>(entries.size()), rows.data(), &encoded)) {
        return false;
    }
    file = std::move(encoded);
    return true;
}

}  // namespace morvane
