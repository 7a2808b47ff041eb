#include "cli/commands.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <tuple>

#include "catalogue/texture_commands.h"
#include "cli/messages.h"
#include "common/file_io.h"

namespace morvane::cli {

namespace {

// What export writes for one face: the picture, and for a bitmap the
// texture file beside it, with what stood at each name when it was compared.
struct ExportedFace {
    int32_t record = 0;
    std::string name;  // tex_NNN.png or tex_NNN.bmp
    std::vector<uint8_t> picture;
    std::vector<uint8_t> texture;  // bmp only: what goes at name + ".tex"
    FileSnapshot pictureSeen;
    FileSnapshot textureSeen;
};

// How a file already in the folder stands against what export would write
// there.
enum class Existing { Absent, Same, Different, NotAFile, Link, TheState, Unreadable };

// When the file cannot be read, `reason` is the system's error number. A
// link is never followed: export writes only into DIR itself.
Existing Compare(const std::filesystem::path& path, const std::vector<uint8_t>& bytes,
                 const std::string& statePath, int& reason) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0) {
        return Existing::Absent;  // anything but a missing file the write will tell
    }
    if (S_ISLNK(info.st_mode)) {
        return Existing::Link;
    }
    if (!S_ISREG(info.st_mode)) {
        return Existing::NotAFile;
    }
    if (SameFile(path, statePath)) {
        return Existing::TheState;
    }
    if (static_cast<uintmax_t>(info.st_size) != bytes.size()) {
        return Existing::Different;
    }
    std::vector<uint8_t> existing;
    errno = 0;
    const Error read = ReadFileBytes(path, existing, bytes.size());
    if (read == Error::FileTooLarge) {
        return Existing::Different;  // it grew while we looked
    }
    if (read != Error::None) {
        reason = errno;
        return Existing::Unreadable;
    }
    return existing == bytes ? Existing::Same : Existing::Different;
}

}  // namespace

int Export(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    const Arguments parsed = ParseArguments(args, kFormatOption | kForceOption);
    const std::string format = parsed.format.empty() ? "png" : parsed.format;
    if (!parsed.ok) {
        return Usage(err, parsed.problem, "export");
    }
    if (parsed.positional.size() != 2) {
        return CountUsage(err, parsed.positional, 2, "export", "STATE and DIR");
    }
    if (format != "bmp" && format != "png") {
        return Usage(err, "--format takes png or bmp, not '" + format + "'", "export");
    }
    const std::string& statePath = parsed.positional[0];
    const std::filesystem::path dir = parsed.positional[1];
    CliUi ui(err, statePath);
    const std::unique_ptr<Session> session = Extract(statePath, ui, err);
    if (!session) {
        return 1;
    }
    int failed = 0;
    const TextureCatalogue& catalogue = session->catalogue;
    std::vector<ExportedFace> faces;
    for (int32_t j = 0; j < catalogue.shownCount; ++j) {
        ExportedFace face;
        face.record = catalogue.ShownList[static_cast<size_t>(j)];
        face.name = PictureName(face.record, format.c_str());
        const Error built =
            format == "png" ? BuildPngExport(*session, face.record, face.picture)
                            : BuildBitmapExport(*session, face.record, face.texture, face.picture);
        if (built != Error::None) {
            err << face.name << ": " << MessageText(built) << "\n";
            // A face too short for a picture is the game's, not a failure.
            failed += built == Error::TooSmallForPicture ? 0 : 1;
            continue;
        }
        faces.push_back(std::move(face));
    }

    // A picture that differs from what export would write may hold the
    // user's edits: nothing is written over one without --force. Files that
    // are already what export writes are left alone.
    int edited = 0;
    int blocked = 0;
    std::vector<const ExportedFace*> toWrite;
    for (ExportedFace& face : faces) {
        bool same = true;
        for (const auto& [name, bytes, seen] :
             {std::tuple{face.name, &face.picture, &face.pictureSeen},
              std::tuple{face.name + ".tex", &face.texture, &face.textureSeen}}) {
            if (name != face.name && format != "bmp") {
                continue;
            }
            // Seen before it is read: a change after this is a change since
            // the comparison.
            *seen = SnapshotOf(dir / name);
            int reason = 0;
            const Existing existing = Compare(dir / name, *bytes, statePath, reason);
            same = same && existing == Existing::Same;
            if (existing == Existing::Link) {
                err << (dir / name).string()
                    << " is a symbolic link: export writes nothing through a link, with or "
                       "without --force\n";
                ++blocked;
            } else if (existing == Existing::TheState) {
                err << (dir / name).string() << " is the state being exported: not overwritten\n";
                ++blocked;
            } else if (existing == Existing::NotAFile) {
                err << MessageText(Error::CouldNotWriteFile) << "\n"
                    << OutputRefusalText((dir / name).string(), CheckOutputPath(dir / name))
                    << "\n";
                ++blocked;
            } else if (existing == Existing::Unreadable && !parsed.force) {
                err << (dir / name).string() << ": could not be read to compare ("
                    << std::strerror(reason) << "); not overwritten\n";
                ++edited;
            } else if (existing == Existing::Different && !parsed.force) {
                err << (dir / name).string()
                    << ": differs from what export would write (edited?); not overwritten\n";
                ++edited;
            }
        }
        if (!same) {
            toWrite.push_back(&face);
        }
    }
    if (blocked > 0) {
        err << "Nothing was written.\n";
        return 1;
    }
    if (edited > 0) {
        err << "Nothing was written. To overwrite " << (edited == 1 ? "that file" : "those files")
            << ", export again with --force.\n";
        return 1;
    }

    std::error_code error;
    std::filesystem::create_directories(dir, error);
    if (error || !std::filesystem::is_directory(dir)) {
        return RefuseWrite(err, Error::CouldNotWriteFile, dir, error ? error.value() : ENOTDIR);
    }
    for (const ExportedFace* face : toWrite) {
        errno = 0;
        // Each file is put in place only while it is still what was compared
        // (or still absent): an edit saved meanwhile is kept.
        const Error saved =
            format == "png"
                ? WritePngExport(dir / face->name, face->picture, face->pictureSeen)
                : WriteBitmapExport(dir / face->name, face->texture, face->picture,
                                    {face->textureSeen, face->pictureSeen});
        if (saved == Error::OutputChanged) {
            err << (dir / face->name).string()
                << ": changed while export ran; it is left as it is\n";
            ++failed;
        } else if (saved == Error::OutputFolderMoved) {
            RefuseWrite(err, saved, dir / face->name, 0);
            ++failed;
            break;  // every face after it would go the same way
        } else if (saved != Error::None) {
            const int reason = errno;
            err << face->name << ": ";
            RefuseWrite(err, saved, dir / face->name, reason);
            ++failed;
        }
    }
    // The count is the extraction pass's: every face shown, as the window
    // reports it. It stands for success, so not after a failure.
    if (failed > 0) {
        return 1;
    }
    if (catalogue.shownCount == 0) {
        out << NoTexturesFoundText() << "\n";
    } else {
        out << ExtractedText(catalogue.shownCount) << "\n";
    }
    return 0;
}

}  // namespace morvane::cli
