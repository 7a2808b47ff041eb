#pragma once
// The commands on one face texture, shared by both front ends. A record index
// names the texture, as the gallery's items carry it.

#include <cstdint>
#include <filesystem>
#include <span>
#include <vector>

#include "common/error.h"
#include "common/file_io.h"
#include "texture/texture_converter.h"

namespace morvane {

struct Session;
class UserInterface;

// Prepares the picture (a bitmap or a PNG, PrepareReplacement) for the
// record's texture and copies its 2560 bytes over the texture in RDRAM. A
// PNG's colours keep the alpha bits the texture gives them (KeepAlphaBits).
// Nothing is written to disk. Every refusal leaves the image unchanged.
Error ApplyReplacement(Session& session, int32_t record, const std::filesystem::path& picture,
                       const ReplacementOptions& options = {});

// The replace flow: ApplyReplacement, then the whole state written to the
// session's OutputStatePath, then the extraction pass again. A texture whose
// extent cannot be read or written alone (ExtentIsReadable) is
// MemoryAllocationFailure. An output path that names the opened state itself,
// or the picture (through a link), is OutputOverwritesInput, and nothing
// changes. Returns the first
// refusal or CouldNotWriteSaveState, with errno then the system's reason
// where it gave one. A write that fails puts the face back as it was, so the
// image holds what the output last written holds (or the state as opened);
// the pass runs either way. A link at the output's name is replaced by the
// new file, never written through.
Error ReplaceTexture(Session& session, UserInterface& ui, int32_t record,
                     const std::filesystem::path& picture, const ReplacementOptions& options = {});

// Writes the texture file at `path` + ".tex" and the 16-bit bitmap at `path`;
// neither when the texture is too short for a picture (TooSmallForPicture).
Error SaveAsBitmap(const Session& session, int32_t record, const std::filesystem::path& path);

// Writes the face texture as an indexed PNG at `path`: its own 256 palette
// entries, each channel widened to 8 bits, rows the way the bitmap shows
// them. Replacing the texture with this file gives back its 2560 bytes, the
// palette's alpha bits too (ApplyReplacement keeps them).
Error SaveAsPng(const Session& session, int32_t record, const std::filesystem::path& path);

// The files that SaveAsBitmap and SaveAsPng write, built in memory, so that a
// front end can compare them with files already there. The same refusals.
Error BuildBitmapExport(const Session& session, int32_t record, std::vector<uint8_t>& texture,
                        std::vector<uint8_t>& bitmap);
Error BuildPngExport(const Session& session, int32_t record, std::vector<uint8_t>& png);

// Writes what BuildBitmapExport built: the texture file at `path` + ".tex"
// and the bitmap at `path`, both or neither: a failure or a signal between
// the two leaves the earlier pair.
Error WriteBitmapExport(const std::filesystem::path& path, std::span<const uint8_t> texture,
                        std::span<const uint8_t> bitmap);

// What stood at the two names of a bitmap export when they were compared.
struct ExportSnapshots {
    FileSnapshot texture;
    FileSnapshot bitmap;
};

// The same into a folder of exports: no link is followed or replaced, and
// each name is replaced only while it is still what `seen` saw, or else
// OutputChanged, with neither file written.
Error WriteBitmapExport(const std::filesystem::path& path, std::span<const uint8_t> texture,
                        std::span<const uint8_t> bitmap, const ExportSnapshots& seen);

// Writes what BuildPngExport built at `path`, as that WriteBitmapExport does.
Error WritePngExport(const std::filesystem::path& path, std::span<const uint8_t> png,
                     const FileSnapshot& seen);

// Writes the texture file alone at `path`.
Error SaveAsTexture(const Session& session, int32_t record, const std::filesystem::path& path);

}  // namespace morvane
