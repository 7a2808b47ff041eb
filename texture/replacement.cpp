#include "texture/texture_converter.h"

#include <algorithm>

#include "common/byte_order.h"
#include "common/file_io.h"
#include "dib/bitmap_file.h"
#include "texture/colour_reduction.h"
#include "texture/png_picture.h"

namespace morvane {
namespace {

constexpr uint16_t kBitmapSignature = 0x4D42;  // "BM", little-endian

// The texels and palette as the game keeps them; entries past the picture's
// palette are zero so that all 2560 bytes are defined.
void StoreReplacement(IndexedTexels& picture, uint8_t format, ReplacementBytes& out) {
    CTextureConverter().SwapOddRowWords(picture.texels, kFaceWidth, kFaceHeight, format);
    std::copy_n(picture.texels.begin(), kFaceTexelBytes, out.begin());
    std::fill(out.begin() + kFaceTexelBytes, out.end(), 0);
    const size_t entries = std::min(picture.palette.size(), kFacePaletteBytes / 2);
    for (size_t k = 0; k < entries; ++k) {
        StoreBE16(&out[kFaceTexelBytes + 2 * k], picture.palette[k]);
    }
}

// Texels whose colours were reduced to fit, as the game keeps them: the
// entry's format decides the swap, and the palette takes its alpha bits from
// the texture it replaces, for no picture carries them.
void StoreReduced(IndexedTexels& texels, const TextureTableEntry& entry,
                  const ReplacementOptions& options, std::span<const uint8_t> replacedPalette,
                  ReplacementBytes& out) {
    if (options.reduction != nullptr) {
        *options.reduction = texels.reduction;
    }
    StoreReplacement(texels, entry.format, out);
    KeepAlphaBits(std::span<uint8_t>(out).subspan(kFaceTexelBytes), replacedPalette);
}

// A 16-, 24- or 32-bit bitmap goes the way of a true-colour PNG: reduced to
// the texture's colours, exactly when they fit.
Error PrepareTrueColourBitmap(std::span<const uint8_t> file, const BitmapHeaders& headers,
                              const TextureTableEntry& entry, const ReplacementOptions& options,
                              std::span<const uint8_t> replacedPalette, ReplacementBytes& out) {
    if (!IsTrueColourBitmap(headers.info)) {
        return Error::CompressionNotSupported;
    }
    const size_t pixels = headers.file.offBits;
    std::vector<uint8_t> rgb;
    if (!ReadBitmapColours(headers.info,
                           file.subspan(kBitmapFileHeaderSize, pixels - kBitmapFileHeaderSize),
                           file.subspan(pixels), rgb)) {
        return Error::Invalid;
    }
    IndexedTexels texels;
    const Error reduced = ReduceColours(rgb, kFaceWidth, kFaceHeight,
                                        {PaletteColoursOf(entry), options.dither}, texels);
    if (reduced != Error::None) {
        return reduced;
    }
    StoreReduced(texels, entry, options, replacedPalette, out);
    return Error::None;
}

Error PrepareBitmap(std::span<const uint8_t> file, const TextureTableEntry& entry,
                    const ReplacementOptions& options, std::span<const uint8_t> replacedPalette,
                    ReplacementBytes& out) {
    const Error refusal = CheckBitmap(file);
    if (refusal != Error::None) {
        return refusal;
    }
    BitmapHeaders headers;
    ParseBitmapHeaders(file, headers);  // cannot fail once the check has passed
    // The game reads exactly 32 x 64 texels; top-down pictures are as good.
    const BitmapInfoHeader& info = headers.info;
    if (info.width != kFaceWidth || (info.height != kFaceHeight && info.height != -kFaceHeight)) {
        return Error::Not32x64Bitmap;
    }
    if (info.bitCount != 8) {
        return PrepareTrueColourBitmap(file, headers, entry, options, replacedPalette, out);
    }
    if (info.compression != kCompressionNone && info.compression != kCompressionRle8) {
        return Error::CompressionNotSupported;
    }
    // The checks above make any refusal here one of a file that is not what
    // its headers say: the Invalid of a conversion that failed.
    std::vector<uint8_t> converted;
    if (CTextureConverter().ConvertBitmap(file, converted, entry.format) != Error::None ||
        converted.size() < kFaceTexelBytes) {
        return Error::Invalid;
    }
    const size_t colours = PaletteColoursOf(entry);
    if (colours < kMaxPaletteColours) {
        // The game loads only the first `colours` entries, so texels that
        // point past them must be moved onto equal colours there, or the
        // picture refused. Odd rows may already be swapped; that changes
        // which texel is where, not which colours are used.
        IndexedTexels picture;
        picture.texels.assign(converted.begin(), converted.begin() + kFaceTexelBytes);
        for (size_t at = kFaceTexelBytes; at + 1 < converted.size(); at += 2) {
            picture.palette.push_back(LoadBE16(&converted[at]));
        }
        if (!FitPalette(picture, colours)) {
            return Error::TooManyColours;
        }
        StoreReplacement(picture, 0, out);  // the format's swap is done already
        return Error::None;
    }
    // A short colour table leaves zero entries, a long one is cut, so that
    // all 2560 bytes are defined.
    const size_t copied = std::min(converted.size(), out.size());
    std::copy_n(converted.begin(), copied, out.begin());
    std::fill(out.begin() + static_cast<ptrdiff_t>(copied), out.end(), 0);
    return Error::None;
}

Error PreparePng(std::span<const uint8_t> file, const TextureTableEntry& entry,
                 const ReplacementOptions& options, std::span<const uint8_t> replacedPalette,
                 ReplacementBytes& out) {
    // The size is checked before anything is decoded, so that a picture of
    // absurd size is refused for what it is rather than as damaged.
    uint32_t width = 0;
    uint32_t height = 0;
    if (!ReadPngSize(file, width, height)) {
        return Error::DamagedPng;
    }
    if (width != kFaceWidth || height != kFaceHeight) {
        return Error::Not32x64Bitmap;
    }
    PngPicture picture;
    if (!DecodePng(file, picture)) {
        return Error::DamagedPng;
    }
    IndexedTexels texels;
    const Error converted =
        ConvertPngToTexels(picture, {PaletteColoursOf(entry), options.dither}, texels);
    if (converted != Error::None) {
        return converted;
    }
    if (texels.texels.size() != kFaceTexelBytes) {
        return Error::Invalid;
    }
    StoreReduced(texels, entry, options, replacedPalette, out);
    return Error::None;
}

}  // namespace

void KeepAlphaBits(std::span<uint8_t> palette, std::span<const uint8_t> replaced) {
    constexpr uint16_t kAlpha = 1;
    const size_t entries = std::min(palette.size(), replaced.size()) / 2;
    if (entries == 0) {
        return;
    }
    // The bit a colour new to the texture gets: the one all its entries share.
    const auto first = static_cast<uint16_t>(LoadBE16(&replaced[0]) & kAlpha);
    uint16_t shared = first;
    for (size_t k = 1; k < entries; ++k) {
        if ((LoadBE16(&replaced[2 * k]) & kAlpha) != first) {
            shared = 0;
            break;
        }
    }
    const auto sameColour = [&](size_t at, uint16_t colour) {
        return static_cast<uint16_t>(LoadBE16(&replaced[2 * at]) & ~kAlpha) == colour;
    };
    for (size_t k = 0; k < entries; ++k) {
        const auto colour = static_cast<uint16_t>(LoadBE16(&palette[2 * k]) & ~kAlpha);
        // An editor may keep the palette's order or rearrange it: the same
        // index first, then the same colour anywhere.
        size_t at = k;
        if (!sameColour(at, colour)) {
            at = 0;
            while (at < entries && !sameColour(at, colour)) {
                ++at;
            }
        }
        const uint16_t alpha =
            at < entries ? static_cast<uint16_t>(LoadBE16(&replaced[2 * at]) & kAlpha) : shared;
        StoreBE16(&palette[2 * k], static_cast<uint16_t>(colour | alpha));
    }
}

size_t PaletteColoursOf(const TextureTableEntry& entry) {
    return size_t{entry.byte10} + 1;
}

Error PrepareReplacementFromBytes(std::span<const uint8_t> file, const TextureTableEntry& entry,
                                  const ReplacementOptions& options, ReplacementBytes& out,
                                  std::span<const uint8_t> replacedPalette) {
    if (IsPng(file)) {
        return PreparePng(file, entry, options, replacedPalette, out);
    }
    if (file.size() < 2 || LoadLE16(file.data()) != kBitmapSignature) {
        return Error::NotAPicture;
    }
    return PrepareBitmap(file, entry, options, replacedPalette, out);
}

Error ReadPictureFile(const std::filesystem::path& path, std::vector<uint8_t>& file) {
    const Error read = ReadFileBytes(path, file, kMaxPictureFileSize);
    return read == Error::FileTooLarge ? Error::PictureTooLarge : read;
}

Error PrepareReplacement(const std::filesystem::path& path, const TextureTableEntry& entry,
                         const ReplacementOptions& options, ReplacementBytes& out,
                         std::span<const uint8_t> replacedPalette) {
    // One read serves the check and the conversion, so the file cannot
    // change between them.
    std::vector<uint8_t> file;
    if (const Error read = ReadPictureFile(path, file); read != Error::None) {
        return read;
    }
    return PrepareReplacementFromBytes(file, entry, options, out, replacedPalette);
}

}  // namespace morvane
