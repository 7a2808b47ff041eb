#include "cli/messages.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "dib/bitmap_file.h"
#include "texture/png_picture.h"

namespace morvane::cli {

namespace {

// A mupen64plus-family version word as "1.9", or "1.9.1" when its last byte
// is set.
std::string VersionText(uint32_t v) {
    char version[32];
    if ((v & 0xFF) != 0) {
        std::snprintf(version, sizeof version, "%u.%u.%u", v >> 16, (v >> 8) & 0xFF, v & 0xFF);
    } else {
        std::snprintf(version, sizeof version, "%u.%u", v >> 16, (v >> 8) & 0xFF);
    }
    return version;
}

// parallel-n64 counts its versions in the last byte: 0x00010006 is 1.6.
std::string ParallelVersionText(uint32_t v) {
    return std::to_string(v >> 16) + "." + std::to_string(v & 0xFFFF);
}

// The emulator that wrote an "M64+SAVE" state, as far as its bytes tell.
std::string MupenText(const StateFormat& format) {
    if (format.layout == StateLayout::ParallelN64) {
        return "parallel-n64 " + ParallelVersionText(format.version);
    }
    if (format.container == StateContainer::RetroArch && format.version > 0x00010000 &&
        format.version >> 16 == 1) {
        return "mupen64plus-next";
    }
    std::string text = "mupen64plus " + VersionText(format.version);
    if (format.version >> 16 == 2) {
        text += " (RMG)";
    }
    return text;
}

}  // namespace

std::string FormatText(const SaveStateImage& image) {
    const StateFormat& format = image.format;
    std::string text;
    switch (format.layout) {
        case StateLayout::Unmarked:
            text = "unmarked, read as Project64's classic layout";
            break;
        case StateLayout::Project64Classic:
            text = "Project64, classic layout";
            break;
        case StateLayout::Project64Wide:
            text = "Project64, 64-bit layout";
            break;
        case StateLayout::Project64Fork:
            text = "Project64 fork, 2023 layout";
            break;
        case StateLayout::Mupen64Plus:
        case StateLayout::ParallelN64:
            text = MupenText(format);
            break;
    }
    if (format.container == StateContainer::RetroArch) {
        const uint8_t rzip = image.retroarch.rzipVersion;
        text = "RetroArch (" + text + "), " +
               (rzip == 0 ? std::string("uncompressed") : "RZIP v" + std::to_string(rzip));
    }
    text += ", " + std::to_string(image.RdramImage.size() / (1024 * 1024)) + " MiB RDRAM";
    switch (format.container) {
        case StateContainer::Plain:
        case StateContainer::RetroArch:
            break;
        case StateContainer::Zip:
            text += ", zipped";
            break;
        case StateContainer::Gzip:
            text += ", gzipped";
            break;
    }
    return text;
}

std::string FileKindText(mode_t fileType) {
    switch (fileType) {
        case S_IFDIR:
            return "a folder";
        case S_IFIFO:
            return "a FIFO";
        case S_IFCHR:
            return "a character device";
        case S_IFBLK:
            return "a block device";
        case S_IFSOCK:
            return "a socket";
        default:
            return "not a regular file";
    }
}

std::string OutputRefusalText(const std::string& path, const OutputCheck& check) {
    if (check.refusal == OutputRefusal::NotARegularFile) {
        return path + " is " + FileKindText(check.fileType) +
               ", not a regular file: it is left as it is";
    }
    return path + ": " + std::strerror(check.error);
}

namespace {

bool StartsWith(std::span<const uint8_t> bytes, std::string_view magic, size_t at = 0) {
    return bytes.size() >= at + magic.size() &&
           std::equal(magic.begin(), magic.end(), bytes.begin() + static_cast<ptrdiff_t>(at),
                      [](char m, uint8_t b) { return static_cast<uint8_t>(m) == b; });
}

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

std::string PictureHintText(Error refusal, std::span<const uint8_t> picture) {
    constexpr const char* kAsPngOrBitmap = "save it as PNG, or as an 8-bit (256-colour) bitmap.";
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
            return "Save it as PNG, or as an 8-bit (256-colour) bitmap.";
        }
        case Error::Not32x64Bitmap: {
            const std::string size = PictureSize(picture);
            if (size.empty()) {
                return "A face texture is 32x64: scale it to 32x64.";
            }
            return "It is " + size + " pixels; a face texture is 32x64: scale it to 32x64.";
        }
        case Error::CompressionNotSupported:
            return "Save it as PNG, or as an uncompressed 8-bit bitmap.";
        case Error::TooManyColours:
            return "Save it as PNG: a PNG is reduced to the colours the texture shows.";
        default:
            return "";
    }
}

}  // namespace morvane::cli
