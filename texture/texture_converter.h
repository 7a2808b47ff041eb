#pragma once
// Texture files and the conversions between game textures and bitmaps.
//
// Texture file ("GTEX"), every header field little-endian:
//   0   4  magic "GTEX"
//   4   2  identifier
//   6   2  reserved, always 0
//   8   1  width in texels
//   9   1  height in texels
//   10  1  byte 10 of the table entry
//   11  1  format
//   12  4  palette offset from the payload's start, always 2048
//   16     payload: the texture's bytes exactly as they lie in RDRAM
//
// Game texture bytes: width x height palette indices, row 0 first, then the
// palette of big-endian RGBA 5-5-5-1 entries (bits 15-11 red, 10-6 green,
// 5-1 blue, 0 alpha).

#include <array>
#include <cstdint>
#include <filesystem>
#include <span>
#include <vector>

#include "common/error.h"
#include "texture/colour_reduction.h"
#include "texture/texture_record.h"

namespace morvane {

inline constexpr size_t kTextureFileHeaderSize = 16;
inline constexpr std::array<uint8_t, 4> kTextureMagic = {'G', 'T', 'E', 'X'};
inline constexpr uint32_t kTexturePaletteOffset = 2048;

// The mode value for which SwapOddRowWords exchanges the halves of each
// 8-byte group on odd rows.
inline constexpr int kSwapOddRowsMode = 201;

// Carries the texture file writer and both conversions. It holds nothing; each
// operation works only on its arguments. The int- and bool-returning
// operations that take paths are the file forms of the ones that build bytes
// in memory and return a code.
class CTextureConverter {
public:
    // texture_file.cpp

    // The texture file for `record`: the header and record.size bytes of
    // `payload`, replacing `file`'s contents. Invalid when `payload` holds
    // fewer than record.size bytes.
    Error BuildTextureFile(const TextureRecord& record, std::span<const uint8_t> payload,
                           std::vector<uint8_t>& file) const;

    // Writes that texture file at `path`, replacing any file there whole. 0
    // when written, 1 when it could not be built or written.
    int WriteTextureFile(TextureRecord record, std::span<const uint8_t> payload,
                         const std::filesystem::path& path) const;

    // texture_to_bitmap.cpp

    // Turns a texture file into a 16-bit (5-5-5) bitmap file, replacing
    // `bitmap`'s contents. Texel row 0 becomes the first row of the pixel
    // array. Invalid for a file that is not a texture file; TooSmallForPicture
    // when its payload is too short for the texels and the palette entries
    // they name.
    Error ConvertTextureFileToBitmap(std::span<const uint8_t> textureFile,
                                     std::vector<uint8_t>& bitmap) const;

    // The same from the file at `texturePath` to the file at `bitmapPath`.
    // False, with nothing written, when the texture file cannot be read or
    // converted, or the bitmap cannot be written.
    bool ConvertTextureToBitmap(const std::filesystem::path& texturePath,
                                const std::filesystem::path& bitmapPath) const;

    // An uncompressed bottom-up bitmap of 2-byte pixels, replacing `bitmap`'s
    // contents. Invalid for a negative size or too few pixels.
    Error BuildBitmap16(int width, int height, int bitsPerPixel, std::span<const uint16_t> pixels,
                        std::vector<uint8_t>& bitmap) const;

    // Writes that bitmap at `path`. False when it could not be built or written.
    bool WriteBitmap16(int width, int height, int bitsPerPixel, std::span<const uint16_t> pixels,
                       const std::filesystem::path& path) const;

    // bitmap_to_texture.cpp

    // Converts a whole 8-bit bitmap file in memory into texel indices followed
    // by the big-endian 5-5-5-1 palette, replacing `out`: width x height
    // texels, row 0 the picture's bottom row, then one entry for each 4 bytes
    // of colour table (from 14 + biSize up to bfOffBits). Uncompressed and
    // RLE8 bits are read. With `out` untouched: NotABitmap when its headers
    // cannot be read, Not256ColourBitmap when it is not 8 bits per pixel,
    // CompressionNotSupported, Invalid when its rows cannot be read within
    // its bytes.
    Error ConvertBitmap(std::span<const uint8_t> bitmap, std::vector<uint8_t>& out, int mode) const;

    // The same, non-zero on success and zero on any refusal.
    int ConvertBitmapToTexture(std::span<const uint8_t> bitmap, std::vector<uint8_t>& out,
                               int mode) const;

    // With mode 201, exchanges the 4-byte halves of every whole 8-byte group
    // on odd rows; any other mode leaves the texels as they are.
    void SwapOddRowWords(std::span<uint8_t> texels, int width, int height, int mode) const;
};

// check_bitmap_file.cpp

// The results of CheckBitmapFile.
inline constexpr int kBitmapAccepted = 0;
inline constexpr int kBitmapCouldNotOpen = 1;
inline constexpr int kBitmapNotABitmap = 2;
inline constexpr int kBitmapNot256Colour = 3;

// The checks on a whole bitmap file in memory: None, NotABitmap or
// Not256ColourBitmap (neither 8 bits per pixel, whose colour table the
// texture takes, nor 16, 24 or 32, whose colours are reduced to fit it; 1-
// and 4-bit bitmaps stay refused). Not a bitmap: it does not begin
// with "BM", is too short for its own headers, has an info header other than
// 40, 52, 56, 108 or 124 bytes, or a pixel offset inside its headers or past
// its end.
Error CheckBitmap(std::span<const uint8_t> file);

// The same as numbers: 0 accepted, 2 not a bitmap, 3 not of an accepted depth.
int CheckBitmapBytes(std::span<const uint8_t> file);

// The same on the file at `path`, and 1 when it cannot be opened (or is too
// large to read).
int CheckBitmapFile(const std::filesystem::path& path);

// replacement.cpp

// The 2560 bytes that replace a face texture: 2048 texel indices and a
// 256-entry big-endian palette.
using ReplacementBytes = std::array<uint8_t, kFaceTextureBytes>;

// The largest picture file read: a 32x64 picture of any kind, with an
// editor's colour profile and notes, is far smaller.
inline constexpr uintmax_t kMaxPictureFileSize = 1024 * 1024;

struct ReplacementOptions {
    bool dither = false;  // error diffusion when a picture must be quantised
    // When set, told how a picture's colours were made to fit (None for an
    // 8-bit bitmap or an indexed PNG that fits), so that a front end can say
    // so.
    Reduction* reduction = nullptr;
};

// Reads a picture file whole: CouldNotOpenFile, or PictureTooLarge past
// kMaxPictureFileSize.
Error ReadPictureFile(const std::filesystem::path& path, std::vector<uint8_t>& file);

// How many palette entries the game loads for the texture: byte 10 + 1.
size_t PaletteColoursOf(const TextureTableEntry& entry);

// Reads the picture at `path`, a bitmap or a PNG told apart by their bytes,
// and prepares it as the replacement of the texture that `entry` describes.
// Error::None with `out` filled, or the refusal, with `out` untouched:
// CouldNotOpenFile or FileTooLarge (reading), NotAPicture (neither kind),
// Not32x64Bitmap, and for bitmaps NotABitmap, Not256ColourBitmap (1- and
// 4-bit, or a depth no bitmap has), CompressionNotSupported, Invalid or
// TooManyColours, for PNGs DamagedPng, and Invalid when the quantiser fails.
//
// 8-bit bitmaps: a colour table of fewer than 256 entries is padded with
// zero entries, a longer one cut to 256. When the texture declares fewer than
// 256 colours, texels must use no more than that many (FitPalette).
//
// PNGs, and 16-, 24- and 32-bit bitmaps (Save As Bitmap writes 16): an
// indexed PNG keeps its indices and palette; any other picture is reduced to
// the texture's colours, exactly when it fits and quantised otherwise; so is
// an indexed one that uses more colours than the texture shows. The
// picture's bottom row becomes texel row 0, as for an 8-bit bitmap.
//
// Either way the texels then go through SwapOddRowWords with the entry's
// format, and palette entries past those the picture needs are zero. An
// 8-bit bitmap's entries have their alpha bit clear. The others carry no
// alpha bits: their entries take them from `replacedPalette`, the texture's
// palette as it stands (256 big-endian entries, KeepAlphaBits), so that an
// unchanged PNG export comes back byte for byte; clear when it is empty.
Error PrepareReplacement(const std::filesystem::path& path, const TextureTableEntry& entry,
                         const ReplacementOptions& options, ReplacementBytes& out,
                         std::span<const uint8_t> replacedPalette = {});

// Gives each entry of `palette` (big-endian, alpha clear) an alpha bit from
// `replaced`, the palette it replaces: the bit of the replaced entry at the
// same index when that entry has the same colour; otherwise that of the first
// replaced entry of the same colour; otherwise, for a colour the texture did
// not have, the bit every replaced entry shares, or clear when they differ.
void KeepAlphaBits(std::span<uint8_t> palette, std::span<const uint8_t> replaced);

// The same for a whole picture file already in memory (no read errors).
Error PrepareReplacementFromBytes(std::span<const uint8_t> file, const TextureTableEntry& entry,
                                  const ReplacementOptions& options, ReplacementBytes& out,
                                  std::span<const uint8_t> replacedPalette = {});

}  // namespace morvane
