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

// Writes the texture file of a shown record at `path`.
Error WriteRecordTexture(const Session& session, int32_t record,
                         const std::filesystem::path& path) {
    if (!IsShown(session.catalogue, record)) {
        return Error::NoFaceTexture;
    }
    const TextureRecord& texture = session.catalogue.records[static_cast<size_t>(record)];
    if (!RdramRangeFits(session.image, texture.entry.address, texture.size)) {
        return Error::MemoryAllocationFailure;
    }
    std::vector<uint8_t> buffer(texture.size);
    ReadRdram(session.image, texture.entry.address, texture.size, buffer.data());
    if (CTextureConverter().WriteTextureFile(texture, buffer, path) != 0) {
        return Error::CouldNotWriteFile;
    }
    return Error::None;
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
        return Error::Invalid;
    }
    if (session.catalogue.records[static_cast<size_t>(record)].size < kFaceTextureBytes) {
        return Error::TextureTooSmall;
    }
    ReplacementBytes bytes;
    const Error prepared = PrepareReplacement(picture, entry, options, bytes);
    if (prepared != Error::None) {
        return prepared;
    }
    return WriteRdram(session.image, entry.address, bytes) ? Error::None : Error::Invalid;
}

Error ReplaceTexture(Session& session, UserInterface& ui, int32_t record,
                     const std::filesystem::path& picture, const ReplacementOptions& options) {
    const Error applied = ApplyReplacement(session, record, picture, options);
    if (applied != Error::None) {
        return applied;
    }
    const Error written = WriteSaveState(session.image, session.OutputStatePath);
    ExtractTextures(session, ui);
    return written;
}

Error SaveAsBitmap(const Session& session, int32_t record, const std::filesystem::path& path) {
    const std::filesystem::path texturePath = WithSuffix(path, ".tex");
    const Error written = WriteRecordTexture(session, record, texturePath);
    if (written != Error::None) {
        return written;
    }
    if (!CTextureConverter().ConvertTextureToBitmap(texturePath, path)) {
        const uint32_t size = session.catalogue.records[static_cast<size_t>(record)].size;
        return size < kFaceTextureBytes ? Error::TextureTooSmall : Error::CouldNotWriteFile;
    }
    return Error::None;
}

Error SaveAsPng(const Session& session, int32_t record, const std::filesystem::path& path) {
    if (!IsShown(session.catalogue, record)) {
        return Error::NoFaceTexture;
    }
    const TextureRecord& texture = session.catalogue.records[static_cast<size_t>(record)];
    if (texture.size < kFaceTextureBytes) {
        return Error::TextureTooSmall;
    }
    if (!RdramRangeFits(session.image, texture.entry.address, kFaceTextureBytes)) {
        return Error::MemoryAllocationFailure;
    }
    std::vector<uint8_t> bytes(kFaceTextureBytes);
    ReadRdram(session.image, texture.entry.address, kFaceTextureBytes, bytes.data());
    std::vector<uint8_t> png;
    if (!ConvertTextureToPng(bytes, texture.entry.width, texture.entry.height, png) ||
        !WriteFileAtomically(path, {png}, Durability::NoFlush)) {
        return Error::CouldNotWriteFile;
    }
    return Error::None;
}

Error SaveAsTexture(const Session& session, int32_t record, const std::filesystem::path& path) {
    return WriteRecordTexture(session, record, path);
}

}  // namespace morvane
