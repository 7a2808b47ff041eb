#include "catalogue/texture_commands.h"

#include <algorithm>
#include <cerrno>
#include <vector>

#include "catalogue/extract_textures.h"
#include "catalogue/session.h"
#include "common/file_io.h"
#include "common/partial_files.h"
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
    if (!ExtentIsReadable(session.image, session.catalogue, record)) {
        return Error::MemoryAllocationFailure;
    }
    const TextureRecord& texture = session.catalogue.records[static_cast<size_t>(record)];
    return CTextureConverter().BuildTextureFile(
        texture, RdramBytes(session.image, texture.entry.address, texture.size), file);
}

}  // namespace

Error ApplyReplacement(Session& session, int32_t record, const std::filesystem::path& picture,
                       const ReplacementOptions& options) {
    if (!IsShown(session.catalogue, record)) {
        return Error::NoFaceTexture;
    }
    // The copy must land inside the texture's own extent: within RDRAM, over
    // no other face, and not past a texture known to be shorter than a face.
    if (!ExtentIsReadable(session.image, session.catalogue, record)) {
        return Error::MemoryAllocationFailure;
    }
    const TextureTableEntry& entry = session.catalogue.entries[static_cast<size_t>(record)];
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
    return WriteRdram(session.image, entry.address, bytes) ? Error::None
                                                           : Error::MemoryAllocationFailure;
}

Error ReplaceTexture(Session& session, UserInterface& ui, int32_t record,
                     const std::filesystem::path& picture, const ReplacementOptions& options) {
    // The output's name comes from the input's; through a link it can be the
    // input itself, which is never written.
    if (SameFile(session.OutputStatePath, session.statePath) ||
        SameFile(session.OutputStatePath, picture)) {
        return Error::OutputOverwritesInput;
    }
    // Only a shown record has an entry to look at.
    if (!IsShown(session.catalogue, record)) {
        return Error::NoFaceTexture;
    }
    // The face as it stands: what the output last written holds, or the
    // state as opened. A write that fails puts it back, so that nothing in
    // memory goes unsaved and rides along, unannounced, in the next write.
    const uint32_t address = session.catalogue.entries[static_cast<size_t>(record)].address;
    const std::span<const uint8_t> standing = RdramBytes(session.image, address, kFaceTextureBytes);
    const std::vector<uint8_t> before(standing.begin(), standing.end());
    const Error applied = ApplyReplacement(session, record, picture, options);
    if (applied != Error::None) {
        return applied;
    }
    errno = 0;
    // A link at the output's name is replaced, never written through: the
    // user was asked about that name, not about wherever it points.
    const Error written = WriteSaveState(session.image, session.OutputStatePath, Links::Replace);
    // The system's reason for a failed write outlives the pass, for the caller
    // to show.
    const int reason = errno;
    if (written != Error::None) {
        WriteRdram(session.image, address, before);
    }
    ExtractTextures(session, ui);
    errno = reason;
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

namespace {

// Puts a prepared export in place: only while its name is what `seen` saw,
// when a snapshot is given.
Error CommitExport(AtomicFile& file, const FileSnapshot* seen) {
    switch (seen != nullptr ? file.CommitIfUnchanged(*seen) : file.Commit()) {
        case CommitOutcome::Committed:
            return Error::None;
        case CommitOutcome::Changed:
            return Error::OutputChanged;
        case CommitOutcome::FolderMoved:
            return Error::OutputFolderMoved;
        case CommitOutcome::Failed:
            break;
    }
    return Error::CouldNotWriteFile;
}

Error WritePair(const std::filesystem::path& path, std::span<const uint8_t> texture,
                std::span<const uint8_t> bitmap, const ExportSnapshots* seen) {
    // A texture file without its picture is no export: both or neither. Both
    // are written in full before either is put in place, so that a full disk
    // leaves neither, and any earlier pair as it was.
    const Links links = seen != nullptr ? Links::Refuse : Links::Follow;
    AtomicFile textureFile;
    AtomicFile bitmapFile;
    if (!textureFile.Prepare(WithSuffix(path, ".tex"), {texture}, Durability::NoFlush, links) ||
        !bitmapFile.Prepare(path, {bitmap}, Durability::NoFlush, links)) {
        return Error::CouldNotWriteFile;
    }
    // The two renames run with the signals held back, and the old texture
    // file is kept until the bitmap is in place: a failure of the second
    // puts the first back. Keeping it gives it a second name, which changes
    // its status time: it is compared before, and the comparison goes on
    // from what stands once it is kept.
    const DeferredSignals deferred;
    FileSnapshot textureSeen = seen != nullptr ? seen->texture : FileSnapshot{};
    if (seen != nullptr) {
        switch (textureFile.KeepPreviousIfUnchanged(textureSeen)) {
            case CommitOutcome::Committed:
                break;
            case CommitOutcome::Changed:
                return Error::OutputChanged;
            case CommitOutcome::FolderMoved:
            case CommitOutcome::Failed:
                return Error::CouldNotWriteFile;
        }
    } else if (!textureFile.KeepPrevious()) {
        return Error::CouldNotWriteFile;
    }
    const Error first = CommitExport(textureFile, seen != nullptr ? &textureSeen : nullptr);
    if (first != Error::None) {
        return first;
    }
    const Error second = CommitExport(bitmapFile, seen != nullptr ? &seen->bitmap : nullptr);
    if (second != Error::None) {
        const int reason = errno;
        textureFile.RestorePrevious();
        errno = reason;
    }
    return second;
}

}  // namespace

Error WriteBitmapExport(const std::filesystem::path& path, std::span<const uint8_t> texture,
                        std::span<const uint8_t> bitmap) {
    return WritePair(path, texture, bitmap, nullptr);
}

Error WriteBitmapExport(const std::filesystem::path& path, std::span<const uint8_t> texture,
                        std::span<const uint8_t> bitmap, const ExportSnapshots& seen) {
    return WritePair(path, texture, bitmap, &seen);
}

Error WritePngExport(const std::filesystem::path& path, std::span<const uint8_t> png,
                     const FileSnapshot& seen) {
    AtomicFile file;
    if (!file.Prepare(path, {png}, Durability::NoFlush, Links::Refuse)) {
        return Error::CouldNotWriteFile;
    }
    return CommitExport(file, &seen);
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
    if (!ExtentIsReadable(session.image, session.catalogue, record)) {
        return Error::MemoryAllocationFailure;
    }
    const TextureRecord& texture = session.catalogue.records[static_cast<size_t>(record)];
    if (texture.size < kFaceTextureBytes) {
        return Error::TooSmallForPicture;
    }
    const std::span<const uint8_t> bytes =
        RdramBytes(session.image, texture.entry.address, kFaceTextureBytes);
    if (bytes.empty()) {
        return Error::MemoryAllocationFailure;
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
