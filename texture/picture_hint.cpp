#include "texture/picture_hint.h"

#include <algorithm>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "common/byte_cursor.h"
#include "common/file_io.h"
#include "dib/bitmap_file.h"
#include "texture/png_picture.h"
#include "texture/texture_converter.h"

namespace morvane {
namespace {

// The picture formats people most often save by mistake, told by their bytes.
const char* OtherPictureKind(std::span<const uint8_t> file) {
    if (StartsWith(file, "\xFF\xD8\xFF")) {
        return "JPEG";
    }
    if (StartsWith(file, "GIF87a") || StartsWith(file, "GIF89a")) {
        return "GIF";
    }
    if (StartsWith(file, "RIFF") && StartsWith(file, "WEBP", 8)) {
        return "WebP";
    }
    if (StartsWith(file, std::string_view("II*\0", 4)) ||
        StartsWith(file, std::string_view("MM\0*", 4))) {
        return "TIFF";
    }
    return nullptr;
}

// The size a PNG or a bitmap says it has, as "64x128"; empty when unknown.
std::string PictureSize(std::span<const uint8_t> file) {
    uint32_t width = 0;
    uint32_t height = 0;
    if (ReadPngSize(file, width, height)) {
        return std::to_string(width) + "x" + std::to_string(height);
    }
    BitmapHeaders headers;
    // A bitmap's width is never negative; one that says so has no size to tell.
    if (ParseBitmapHeaders(file, headers) && headers.info.width >= 0) {
        return std::to_string(headers.info.width) + "x" +
               std::to_string(std::abs(static_cast<int64_t>(headers.info.height)));
    }
    return "";
}

}  // namespace

bool LooksLikePicture(std::span<const uint8_t> start) {
    return IsPng(start) || StartsWith(start, "BM") || OtherPictureKind(start) != nullptr;
}

std::string PictureHintText(Error refusal, std::span<const uint8_t> picture) {
    constexpr const char* kAsPngOrBitmap =
        "save it as PNG, or as an 8-, 16-, 24- or 32-bit bitmap.";
    switch (refusal) {
        case Error::NotAPicture:
        case Error::NotABitmap: {
            if (const char* kind = OtherPictureKind(picture)) {
                return std::string("It is a ") + kind + " picture: save it as PNG.";
            }
            return std::string("A picture must be 32x64: ") + kAsPngOrBitmap;
        }
        case Error::Not256ColourBitmap: {
            BitmapHeaders headers;
            if (ParseBitmapHeaders(picture, headers)) {
                return "It is a " + std::to_string(headers.info.bitCount) +
                       "-bit bitmap: " + kAsPngOrBitmap;
            }
            return "Save it as PNG, or as an 8-, 16-, 24- or 32-bit bitmap.";
        }
        case Error::Not32x64Bitmap: {
            const std::string size = PictureSize(picture);
            if (size.empty()) {
                return "A face texture is 32x64: scale it to 32x64.";
            }
            return "It is " + size + " pixels; a face texture is 32x64: scale it to 32x64.";
        }
        case Error::CompressionNotSupported:
            return "Save it as PNG, or as an uncompressed bitmap.";
        case Error::TooManyColours:
            return "Save it as PNG or as a 24-bit bitmap: either is reduced to the colours the "
                   "texture shows.";
        case Error::PictureArchiveDamaged:
            return "Zip the edited pictures again, or take them back as files.";
        case Error::PictureArchiveTooLarge:
            return "Zip only the tex_NNN pictures of one set, or take them back as files.";
        default:
            return "";
    }
}

std::string PictureHintText(Error refusal, const std::filesystem::path& path) {
    // A file that could not be opened, or is far too large, was never looked at.
    if (refusal == Error::CouldNotOpenFile || refusal == Error::FileTooLarge ||
        refusal == Error::PictureTooLarge) {
        return "";
    }
    std::vector<uint8_t> file;
    if (ReadFileBytes(path, file, kMaxPictureFileSize) != Error::None) {
        return "";
    }
    return PictureHintText(refusal, file);
}

std::string ReductionText(Reduction reduction, bool dither) {
    switch (reduction) {
        case Reduction::Exact:
            return "its colours were reduced to the texture's palette, exactly";
        case Reduction::Quantised:
            return std::string(
                       "it has more colours than the texture's palette; they were "
                       "quantised") +
                   (dither ? ", with error diffusion" : "");
        case Reduction::None:
            break;
    }
    return {};
}

}  // namespace morvane
