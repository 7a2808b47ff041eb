#include "texture/texture_converter.h"

#include <algorithm>

#include "common/file_io.h"
#include "dib/bitmap_file.h"

namespace morvane {
namespace {

Error RefusalFor(int checkResult) {
    switch (checkResult) {
        case kBitmapCouldNotOpen: return Error::CouldNotOpenFile;
        case kBitmapNotABitmap: return Error::NotABitmap;
        case kBitmapNot256Colour: return Error::Not256ColourBitmap;
        default: return Error::None;
    }
}

}  // namespace

Error PrepareReplacement(const std::filesystem::path& path, uint8_t format, ReplacementBytes& out) {
    // One read serves the check and the conversion, so the file cannot
    // change between them.
    std::vector<uint8_t> file;
    const Error read = ReadFileBytes(path, file);
    if (read != Error::None) {
        return read;
    }
    const Error refusal = RefusalFor(CheckBitmapBytes(file));
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
    if (info.compression != kCompressionNone && info.compression != kCompressionRle8) {
        return Error::CompressionNotSupported;
    }
    std::vector<uint8_t> converted;
    if (CTextureConverter().ConvertBitmapToTexture(file, converted, format) == 0) {
        return Error::Invalid;
    }
    // A short colour table leaves zero entries, a long one is cut, so that
    // all 2560 bytes are defined.
    const size_t copied = std::min(converted.size(), out.size());
    std::copy_n(converted.begin(), copied, out.begin());
    std::fill(out.begin() + static_cast<ptrdiff_t>(copied), out.end(), 0);
    return Error::None;
}

}  // namespace morvane
