#include "catalogue/texture_commands.h"

#include <algorithm>
#include <vector>

#include "catalogue/extract_textures.h"
#include "catalogue/session.h"
#include "common/file_io.h"
#include "texture/png_picture.h"
#include "texture/texture_converter.h"

namespace morvane {
namespace {

// Commands reach only the textures that the last pass showed: the record
// index came from a gallery item, and any other slot may hold a stale entry.
bool IsShown(const TextureCatalogue& catalogue, int32_t record) {
    const auto shown = catalogue.ShownList.begin();
    return std::find(shown, shown + catalogue.shownCount, record) != shown + catalogue.shownCount;
}

std::filesystem::path WithSuffix(const std::filesystem::path& path, const char* suffix) {
    std::filesystem::path result = path;
    result += suffix;
    return result;
}

// The texture file of a shown record.
Error BuildRecordTexture(const Session& session, int32_t record, std::vector<uint8_t>& file) {
    if (!IsShown(session.catalogue, record)) {
        return Error::NoFaceTexture;
    }
    const TextureRecord& texture = session.catalogue.records[static_cast<size_t>(record)];
    if (!RdramRangeFits(session.image, texture.entry.address, texture.size)) {
        return Error::OutsideRdram;
    }
    return CTextureConverter().BuildTextureFile(
        texture, RdramBytes(session.image, texture.entry.address, texture.size), file);
}

}  // namespace

Error ApplyReplacement(Session& session, int32_t record, const std::filesystem::path& picture,
                       const ReplacementOptions& options) {
    if (!IsShown(session.catalogue, record)) {
        return Error::NoFaceTexture;
    }
    const TextureTableEntry& entry = session.catalogue.entries[static_cast<size_t>(record)];
    // The copy must land inside RDRAM, and must not run over the texture
    // that follows a texture known to be shorter than a face.
    if (!RdramRangeFits(session.image, entry.address, kFaceTextureBytes)) {
        return Error::OutsideRdram;
    }
    if (session.catalogue.records[static_cast<size_t>(record)].size < kFaceTextureBytes) {
        return Error::TextureTooSmall;
    }
    // The texture as it stands lends a PNG's colours their alpha bits.
    const std::span<const uint8_t> current =
        RdramBytes(session.image, entry.address, kFaceTextureBytes);
    const std::span<const uint8_t> palette =
        current.size() == kFaceTextureBytes ? current.subspan(kFaceTexelBytes) : current;
    ReplacementBytes bytes;
    const Error prepared = PrepareReplacement(picture, entry, options, bytes, palette);
    if (prepared != Error::None) {
        return prepared;
    }
    return WriteRdram(session.image, entry.address, bytes) ? Error::None : Error::OutsideRdram;
}

Error ReplaceTexture(Session& session, UserInterface& ui, int32_t record,
                     const std::filesystem::path& picture, const ReplacementOptions& options) {
    // The output's name comes from the input's; through a link it can be the
    // input itself, which is never written.
    if (SameFile(session.OutputStatePath, session.statePath)) {
        return Error::OutputOverwritesInput;
    }
    const Error applied = ApplyReplacement(session, record, picture, options);
    if (applied != Error::None) {
        return applied;
    }
    const Error written = WriteSaveState(session.image, session.OutputStatePath);
    ExtractTextures(session, ui);
    return written;
}

Error SaveAsBitmap(const Session& session, int32_t record, const std::filesystem::path& path) {
    std::vector<uint8_t> texture;
    std::vector<uint8_t> bitmap;
    if (const Error built = BuildBitmapExport(session, record, texture, bitmap);
        built != Error::None) {
        return built;
    }
    return WriteBitmapExport(path, texture, bitmap);
}

Error WriteBitmapExport(const std::filesystem::path& path, std::span<const uint8_t> texture,
                        std::span<const uint8_t> bitmap) {
    // A texture file without its picture is no export: both or neither. Both
    // are written in full before either is put in place, so that a full disk
    // leaves neither, and any earlier pair as it was.
    AtomicFile textureFile;
    AtomicFile bitmapFile;
    if (!textureFile.Prepare(WithSuffix(path, ".tex"), {texture}, Durability::NoFlush) ||
        !bitmapFile.Prepare(path, {bitmap}, Durability::NoFlush) || !textureFile.Commit() ||
        !bitmapFile.Commit()) {
        return Error::CouldNotWriteFile;
    }
    return Error::None;
}

Error BuildBitmapExport(const Session& session, int32_t record, std::vector<uint8_t>& texture,
                        std::vector<uint8_t>& bitmap) {
    if (const Error built = BuildRecordTexture(session, record, texture); built != Error::None) {
        return built;
    }
    return CTextureConverter().ConvertTextureFileToBitmap(texture, bitmap);
}

Error BuildPngExport(const Session& session, int32_t record, std::vector<uint8_t>& png) {
    if (!IsShown(session.catalogue, record)) {
        return Error::NoFaceTexture;
    }
    const TextureRecord& texture = session.catalogue.records[static_cast<size_t>(record)];
    if (texture.size < kFaceTextureBytes) {
        return Error::TooSmallForPicture;
    }
    const std::span<const uint8_t> bytes =
        RdramBytes(session.image, texture.entry.address, kFaceTextureBytes);
    if (bytes.empty()) {
        return Error::OutsideRdram;
    }
    if (!ConvertTextureToPng(bytes, texture.entry.width, texture.entry.height, png)) {
        return Error::CouldNotWriteFile;
    }
    return Error::None;
}

Error SaveAsPng(const Session& session, int32_t record, const std::filesystem::path& path) {
    std::vector<uint8_t> png;
    if (const Error built = BuildPngExport(session, record, png); built != Error::None) {
        return built;
    }
    if (!WriteFileAtomically(path, {png}, Durability::NoFlush)) {
        return Error::CouldNotWriteFile;
    }
    return Error::None;
}

Error SaveAsTexture(const Session& session, int32_t record, const std::filesystem::path& path) {
    std::vector<uint8_t> texture;
    if (const Error built = BuildRecordTexture(session, record, texture); built != Error::None) {
        return built;
    }
    if (!WriteFileAtomically(path, {texture}, Durability::NoFlush)) {
        return Error::CouldNotWriteFile;
    }
    return Error::None;
}

}  // namespace morvane
