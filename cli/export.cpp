#include "cli/commands.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <memory>

#include "catalogue/texture_commands.h"
#include "cli/messages.h"
#include "common/file_io.h"

namespace morvane::cli {

namespace {

// What export writes for one face: the picture, and for a bitmap the
// texture file beside it.
struct ExportedFace {
    int32_t record = 0;
    std::string name;  // tex_NNN.png or tex_NNN.bmp
    std::vector<uint8_t> picture;
    std::vector<uint8_t> texture;  // bmp only: what goes at name + ".tex"
};

// How a file already in the folder stands against what export would write
// there.
enum class Existing { Absent, Same, Different, NotAFile, Unreadable };

// When the file cannot be read, `reason` is the system's error number.
Existing Compare(const std::filesystem::path& path, const std::vector<uint8_t>& bytes,
                 int& reason) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        // A dangling link is written through; anything else the write will tell.
        return Existing::Absent;
    }
    if (!S_ISREG(info.st_mode)) {
        return Existing::NotAFile;
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
    CliUi ui(err);
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
    for (const ExportedFace& face : faces) {
        bool same = true;
        for (const auto& [name, bytes] :
             {std::pair{face.name, &face.picture}, std::pair{face.name + ".tex", &face.texture}}) {
            if (name != face.name && format != "bmp") {
                continue;
            }
            int reason = 0;
            const Existing existing = Compare(dir / name, *bytes, reason);
            same = same && existing == Existing::Same;
            if (existing == Existing::NotAFile) {
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
        const Error saved =
            format == "png"
                ? (WriteFileAtomically(dir / face->name, {face->picture}, Durability::NoFlush)
                       ? Error::None
                       : Error::CouldNotWriteFile)
                : WriteBitmapExport(dir / face->name, face->texture, face->picture);
        if (saved != Error::None) {
            const int reason = errno;
            err << face->name << ": ";
            RefuseWrite(err, saved, dir / face->name, reason);
            ++failed;
        }
    }
    // The count is the extraction pass's: every face shown, as the window
    // reports it.
    if (catalogue.shownCount == 0) {
        out << NoTexturesFoundText() << "\n";
    } else {
        out << ExtractedText(catalogue.shownCount) << "\n";
    }
    return failed == 0 ? 0 : 1;
}

}  // namespace morvane::cli
