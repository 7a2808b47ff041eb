#include "catalogue/texture_commands.h"

#include <algorithm>
#include <cerrno>
#include <vector>

#include "catalogue/extract_textures.h"
#include "catalogue/picture_import.h"
#include "catalogue/session.h"
#include "common/file_io.h"
#include "common/partial_files.h"
#include "savestate/state_containers.h"
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

// Whether the record's face can be drawn as a whole picture: shown, its
// extent readable, and long enough for its texels and palette.
Error CheckPicturable(const Session& session, int32_t record) {
    if (!IsShown(session.catalogue, record)) {
        return Error::NoFaceTexture;
    }
    if (!ExtentIsReadable(session.image, session.catalogue, record)) {
        return Error::MemoryAllocationFailure;
    }
    if (session.catalogue.records[static_cast<size_t>(record)].size < kFaceTextureBytes) {
        return Error::TooSmallForPicture;
    }
    return Error::None;
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

Error CheckReplaceable(const Session& session, int32_t record) {
    if (!IsShown(session.catalogue, record)) {
        return Error::NoFaceTexture;
    }
    // The copy must land inside the texture's own extent: within RDRAM, over
    // no other face, and not past a texture known to be shorter than a face.
    if (!ExtentIsReadable(session.image, session.catalogue, record)) {
        return Error::MemoryAllocationFailure;
    }
    if (session.catalogue.records[static_cast<size_t>(record)].size < kFaceTextureBytes) {
        return Error::TextureTooSmall;
    }
    return Error::None;
}

Error ApplyReplacement(Session& session, int32_t record, std::span<const uint8_t> picture,
                       const ReplacementOptions& options) {
    if (const Error refused = CheckReplaceable(session, record); refused != Error::None) {
        return refused;
    }
    const TextureTableEntry& entry = session.catalogue.entries[static_cast<size_t>(record)];
    // The texture as it stands lends a PNG's colours their alpha bits.
    const std::span<const uint8_t> current =
        RdramBytes(session.image, entry.address, kFaceTextureBytes);
    const std::span<const uint8_t> palette =
        current.size() == kFaceTextureBytes ? current.subspan(kFaceTexelBytes) : current;
    ReplacementBytes bytes;
    const Error prepared = PrepareReplacementFromBytes(picture, entry, options, bytes, palette);
    if (prepared != Error::None) {
        return prepared;
    }
    NoteFaceChange(session, record);
    return WriteRdram(session.image, entry.address, bytes) ? Error::None
                                                           : Error::MemoryAllocationFailure;
}

Error ApplyReplacement(Session& session, int32_t record, const std::filesystem::path& picture,
                       const ReplacementOptions& options) {
    // The record is judged before the file is read: its refusal comes first,
    // whatever the picture.
    if (const Error refused = CheckReplaceable(session, record); refused != Error::None) {
        return refused;
    }
    std::vector<uint8_t> file;
    if (const Error read = ReadPictureFile(picture, file); read != Error::None) {
        return read;
    }
    return ApplyReplacement(session, record, file, options);
}

namespace {

// Runs `change` on the face, then writes the whole state to the session's
// output and runs the extraction pass. A write that fails puts the face back
// as it stood before, so that nothing in memory goes unsaved and rides along,
// unannounced, in the next write.
template <typename Change>
Error ChangeAndWrite(Session& session, UserInterface& ui, int32_t record, const Change& change) {
    const uint32_t address =
        IsShown(session.catalogue, record)
            ? session.catalogue.entries[static_cast<size_t>(record)].address
            : 0;
    const std::span<const uint8_t> standing = RdramBytes(session.image, address, kFaceTextureBytes);
    const std::vector<uint8_t> before(standing.begin(), standing.end());
    if (const Error changed = change(); changed != Error::None) {
        return changed;
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

// The output's name comes from the input's; through a link it can be the
// input itself, which is never written.
bool OutputIsAnInput(const Session& session, const std::filesystem::path& picture) {
    return SameFile(session.OutputStatePath, session.statePath) ||
           (!picture.empty() && SameFile(session.OutputStatePath, picture));
}

}  // namespace

Error ReplaceTexture(Session& session, UserInterface& ui, int32_t record,
                     const std::filesystem::path& picture, const ReplacementOptions& options) {
    if (OutputIsAnInput(session, picture)) {
        return Error::OutputOverwritesInput;
    }
    return ChangeAndWrite(session, ui, record, [&] {
        return ApplyReplacement(session, record, picture, options);
    });
}

Error ReplaceTexture(Session& session, UserInterface& ui, int32_t record,
                     std::span<const uint8_t> picture, const ReplacementOptions& options) {
    if (OutputIsAnInput(session, {})) {
        return Error::OutputOverwritesInput;
    }
    return ChangeAndWrite(session, ui, record, [&] {
        return ApplyReplacement(session, record, picture, options);
    });
}

Error RevertTexture(Session& session, UserInterface& ui, int32_t record) {
    if (OutputIsAnInput(session, {})) {
        return Error::OutputOverwritesInput;
    }
    return ChangeAndWrite(session, ui, record, [&] { return RevertFaceBytes(session, record); });
}

Error BuildOpenedFaceBitmap(const Session& session, int32_t record, std::vector<uint8_t>& bitmap) {
    if (const Error refused = CheckPicturable(session, record); refused != Error::None) {
        return refused;
    }
    const TextureRecord& texture = session.catalogue.records[static_cast<size_t>(record)];
    // The texture's whole extent as it stands, its first 2560 bytes as opened.
    const std::span<const uint8_t> standing =
        RdramBytes(session.image, texture.entry.address, texture.size);
    const std::span<const uint8_t> opened = OpenedFaceBytes(session, record);
    std::vector<uint8_t> payload(standing.begin(), standing.end());
    std::copy(opened.begin(), opened.end(), payload.begin());
    const CTextureConverter converter;
    std::vector<uint8_t> file;
    if (const Error built = converter.BuildTextureFile(texture, payload, file);
        built != Error::None) {
        return built;
    }
    return converter.ConvertTextureFileToBitmap(file, bitmap);
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
    if (const Error refused = CheckPicturable(session, record); refused != Error::None) {
        return refused;
    }
    const TextureRecord& texture = session.catalogue.records[static_cast<size_t>(record)];
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

Error BuildPngExportArchive(const Session& session, std::vector<uint8_t>& archive,
                            std::vector<int32_t>& left) {
    left.clear();
    const TextureCatalogue& catalogue = session.catalogue;
    std::vector<std::vector<uint8_t>> pngs;
    std::vector<ArchiveFile> files;
    pngs.reserve(static_cast<size_t>(catalogue.shownCount));
    for (int32_t j = 0; j < catalogue.shownCount; ++j) {
        const int32_t record = catalogue.ShownList[static_cast<size_t>(j)];
        std::vector<uint8_t> png;
        if (BuildPngExport(session, record, png) != Error::None) {
            left.push_back(record);
            continue;
        }
        pngs.push_back(std::move(png));
        files.push_back({PictureName(record, "png"), pngs.back()});
    }
    MemorySink sink(archive);
    return ZipFiles(files, sink) ? Error::None : Error::CouldNotWriteFile;
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
