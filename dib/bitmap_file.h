#pragma once
// Reading Windows bitmap files safely. Both the bitmap object and the
// bitmap-to-texture conversion read bitmaps through here, so that they agree
// on where the colour table starts, which headers they accept and how rows
// are ordered.
//
// File header, 14 bytes, little-endian:
//   0   2  bfType      "BM" (0x4D42)
//   2   4  bfSize      file size, never trusted
//   6   2  reserved
//   8   2  reserved
//   10  4  bfOffBits   where the pixel array starts
// Info header, biSize bytes from offset 14. The first 40 bytes are the same in
// every accepted form (40 BITMAPINFOHEADER, 52 and 56 with colour masks, 108
// V4, 124 V5):
//   14  4  biSize
//   18  4  biWidth         signed
//   22  4  biHeight        signed; negative for a top-down bitmap
//   26  2  biPlanes
//   28  2  biBitCount
//   30  4  biCompression   0 none, 1 RLE8, 2 RLE4
//   34  4  biSizeImage
//   38  4  biXPelsPerMeter
//   42  4  biYPelsPerMeter
//   46  4  biClrUsed
//   50  4  biClrImportant
// Colour table: from 14 + biSize up to bfOffBits, 4-byte entries of blue,
// green, red, reserved.
// Channel masks of a BI_BITFIELDS bitmap: red, green, blue, 4 bytes each, at
// offset 54, inside a header of 52 bytes or more, else just after the 40-byte
// one, where the colour table would start.
//
// Pixel array: rows padded to a multiple of 4 bytes. A bottom-up bitmap stores
// the picture's bottom row first, a top-down one its top row first.

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace morvane {

inline constexpr size_t kBitmapFileHeaderSize = 14;
inline constexpr size_t kBitmapInfoHeaderSize = 40;
inline constexpr uint16_t kBitmapType = 0x4D42;  // "BM"

inline constexpr uint32_t kCompressionNone = 0;
inline constexpr uint32_t kCompressionRle8 = 1;
inline constexpr uint32_t kCompressionRle4 = 2;
inline constexpr uint32_t kCompressionBitfields = 3;  // 16 and 32 bits: masks give the channels

// Bounds on a picture's size, so that a few bytes of hostile header cannot
// make a decoder allocate gigabytes. Far beyond anything this tool draws.
inline constexpr uint32_t kMaxBitmapDimension = 1u << 15;
inline constexpr size_t kMaxBitmapPixels = size_t{1} << 24;

struct BitmapFileHeader {
    uint16_t type = 0;     // 0: "BM"
    uint32_t size = 0;     // 2: bfSize, not relied on
    uint32_t offBits = 0;  // 10: start of the pixel array
};

// The first 40 bytes of the info header, common to every accepted form.
struct BitmapInfoHeader {
    uint32_t size = 0;          // 14
    int32_t width = 0;          // 18
    int32_t height = 0;         // 22
    uint16_t planes = 0;        // 26
    uint16_t bitCount = 0;      // 28
    uint32_t compression = 0;   // 30
    uint32_t sizeImage = 0;     // 34
    int32_t xPelsPerMeter = 0;  // 38
    int32_t yPelsPerMeter = 0;  // 42
    uint32_t clrUsed = 0;       // 46
    uint32_t clrImportant = 0;  // 50
};

struct BitmapHeaders {
    BitmapFileHeader file;
    BitmapInfoHeader info;
};

// A picture's shape, once its header has been found sane.
struct BitmapGeometry {
    uint32_t width = 0;
    uint32_t height = 0;   // rows, whatever the sign in the header
    bool topDown = false;  // the first stored row is the picture's top row
};

// bitmap_header.cpp

bool IsSupportedInfoHeaderSize(uint32_t size);

// Decodes the info header at the start of `bytes` (the header block of a
// bitmap, or a file from offset 14). False when `bytes` is too short for
// biSize, or biSize is not one of the accepted forms.
bool ParseBitmapInfoHeader(std::span<const uint8_t> bytes, BitmapInfoHeader& info);

// Decodes both headers of a whole bitmap file. False, the file is not a
// bitmap, when it does not begin with "BM", is too short for its own headers,
// has an info header of a form we do not read, or has a pixel array offset
// inside its headers or past its end.
bool ParseBitmapHeaders(std::span<const uint8_t> file, BitmapHeaders& headers);

// Bytes from the start of the info header to the pixel array, less the info
// header: the room that the file gives its colour table.
size_t ColourTableBytes(const BitmapHeaders& headers);

// False for a negative width, an unrepresentable height, or a picture beyond
// the bounds above.
bool GetBitmapGeometry(const BitmapInfoHeader& info, BitmapGeometry& geometry);

// Bytes in one stored row of `width` pixels at `bitCount` bits, padded to 4.
size_t BitmapRowStride(uint32_t width, uint16_t bitCount);

// Bytes an uncompressed pixel array needs: every row padded, except that the
// padding of the last stored row may be missing.
size_t UncompressedImageBytes(const BitmapGeometry& geometry, uint16_t bitCount);

// bitmap_rle.cpp

// Decodes run-length-encoded bits (RLE8 when bitCount is 8, RLE4 when it is
// 4) into one palette index per pixel: width x height bytes, rows in the
// order the data stores them. Pixels that the data never sets stay 0. Runs
// past a row's end are clipped, decoding stops at the end of the bitmap, at
// the last row or at the end of `data`, and nothing is read or written
// outside the two buffers. False only for a depth other than 8 or 4 or a
// size past the bounds.
bool DecodeRunLength(std::span<const uint8_t> data, uint16_t bitCount, uint32_t width,
                     uint32_t height, std::vector<uint8_t>& indices);

// bitmap_indices.cpp

// Reads the pixel array of a colour-table bitmap (1, 4 or 8 bits
// uncompressed, 8-bit RLE8, 4-bit RLE4) into one palette index per pixel,
// rows from the picture's bottom row up, whichever way the file stores them.
// False, `indices` untouched, for any other kind of bitmap or a pixel array
// shorter than its rows.
bool ReadBitmapIndices(const BitmapInfoHeader& info, std::span<const uint8_t> bits,
                       std::vector<uint8_t>& indices);

// bitmap_colours.cpp

// Whether a bitmap of this depth and compression holds its colours in its
// pixels: 16 bits (5-5-5, or BI_BITFIELDS), 24 bits, or 32 bits (8-8-8 with
// a spare byte, or BI_BITFIELDS).
bool IsTrueColourBitmap(const BitmapInfoHeader& info);

// Reads the pixel array of a true-colour bitmap into red, green and blue
// bytes per pixel, rows from the picture's bottom row up, whichever way the
// file stores them. `headerBlock` runs from the info header's start to the
// pixel array (it holds a BI_BITFIELDS bitmap's masks). A channel narrower
// than 8 bits is widened by repeating its top bits, so that a 5-bit channel
// cut to five bits again gives it back; a wider one keeps its top 8; alpha is
// dropped. False, `rgb` untouched, for any other kind of bitmap, masks that
// are missing or select nothing of the pixel, or a pixel array shorter than
// its rows.
bool ReadBitmapColours(const BitmapInfoHeader& info, std::span<const uint8_t> headerBlock,
                       std::span<const uint8_t> bits, std::vector<uint8_t>& rgb);

}  // namespace morvane
