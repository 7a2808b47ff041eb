#include "cli/commands.h"

#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <map>
#include <memory>

#include "catalogue/picture_import.h"
#include "catalogue/texture_commands.h"
#include "cli/messages.h"
#include "savestate/state_containers.h"

namespace morvane::cli {

namespace {

// Why a file that looks like a picture is not read at all: it is not a
// regular file, or following its links fails. Empty for a regular file.
std::string NotAFileReason(const std::filesystem::path& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        return std::strerror(errno);
    }
    if (!S_ISREG(info.st_mode)) {
        return FileKindText(info.st_mode & S_IFMT) + ", not a regular file";
    }
    return "";
}

}  // namespace

int Replace(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    // replace STATE RECORD PICTURE [RECORD PICTURE ...] [-o OUT] [--dither] [--force]
    const Arguments parsed = ParseArguments(args, kOutputOption | kDitherOption | kForceOption);
    const std::vector<std::string>& positional = parsed.positional;
    if (!parsed.ok) {
        return Usage(err, parsed.problem, "replace");
    }
    if (positional.size() < 3 || positional.size() % 2 != 1) {
        return positional.size() < 3
                   ? Usage(err, "replace needs STATE, RECORD and PICTURE", "replace")
                   : Usage(err, "no PICTURE after RECORD '" + positional.back() + "'", "replace");
    }
    const std::string& statePath = positional[0];
    Inputs inputs{statePath, {}};
    std::vector<std::pair<int32_t, std::string>> replacements;
    for (size_t i = 1; i < positional.size(); i += 2) {
        int32_t record = 0;
        if (!ParseRecord(positional[i], record)) {
            return Usage(err,
                         "RECORD '" + positional[i] +
                             "' is not a record index: a number that 'morvane-cli list' prints",
                         "replace");
        }
        replacements.emplace_back(record, positional[i + 1]);
        inputs.pictures.emplace_back(positional[i + 1]);
    }
    if (!parsed.output.empty() && RefuseOutputFor(parsed.output, inputs, err) != 0) {
        return 1;
    }

    CliUi ui(err, statePath);
    const std::unique_ptr<Session> session = Extract(statePath, ui, err);
    if (!session) {
        return 1;
    }
    // Every replacement goes into the image first; the state is written once,
    // and not at all if any picture is refused.
    for (const auto& [record, picture] : replacements) {
        Reduction reduction = Reduction::None;
        const Error applied =
            ApplyReplacement(*session, record, picture, {parsed.dither, &reduction});
        if (applied != Error::None) {
            RefuseReplacement(err, "record " + std::to_string(record), picture, picture, applied);
            return 1;
        }
        NoteReduction(err, picture, reduction, parsed.dither);
    }
    return WriteOutput(*session, inputs, parsed, out, err);
}

int Import(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    // import STATE DIR [-o OUT] [--dither] [--force]
    const Arguments parsed = ParseArguments(args, kOutputOption | kDitherOption | kForceOption);
    if (!parsed.ok) {
        return Usage(err, parsed.problem, "import");
    }
    if (parsed.positional.size() != 2) {
        return CountUsage(err, parsed.positional, 2, "import", "STATE and DIR");
    }
    const std::string& statePath = parsed.positional[0];
    const std::filesystem::path dir = parsed.positional[1];
    Inputs inputs{statePath, {}};
    if (!parsed.output.empty() && RefuseOutputFor(parsed.output, inputs, err) != 0) {
        return 1;
    }
    CliUi ui(err, statePath);
    const std::unique_ptr<Session> session = Extract(statePath, ui, err);
    if (!session) {
        return 1;
    }
    std::vector<NamedPicture> offered;
    std::error_code error;
    if (std::error_code kind; !std::filesystem::is_directory(dir, kind)) {
        // A zip of pictures, as the browser page saves them.
        std::vector<uint8_t> archive;
        inputs.pictures.push_back(dir);
        if (const Error read = ReadFileBytes(dir, archive); read != Error::None) {
            return RefuseFile(err, dir.string(), read);
        }
        if (!IsZip(archive)) {
            err << dir.string() << ": neither a folder nor a zip of pictures\n";
            return 1;
        }
        RefusalDetail detail;
        if (const Error read = ReadPictureArchive(archive, offered, &detail); read != Error::None) {
            err << dir.string() << ": " << RefusalText(read, detail) << "\n";
            return 1;
        }
    } else {
        // Every file of the folder that looks like a picture is offered; one
        // that is no regular file is never opened, and says why it was
        // passed over, so that a misnamed edit is not lost in silence.
        for (std::filesystem::directory_iterator entry(dir, error), end; !error && entry != end;
             entry.increment(error)) {
            NamedPicture picture;
            picture.name = entry->path().filename().string();
            if (!IsNamedLikePicture(picture.name)) {
                continue;
            }
            inputs.pictures.push_back(entry->path());
            picture.notAFile = NotAFileReason(entry->path());
            if (picture.notAFile.empty()) {
                picture.read = ReadPictureFile(entry->path(), picture.bytes);
            }
            offered.push_back(std::move(picture));
        }
    }
    if (error) {
        return RefuseFile(err, dir.string(), Error::CouldNotOpenFile);
    }
    const ImportResult imported = ImportPictures(*session, offered, {parsed.dither, nullptr});
    for (const ImportedPicture& skipped : imported.skipped) {
        err << skipped.name << ": skipped: " << skipped.reason << "\n";
    }
    if (imported.pictures.empty()) {
        err << "No tex_NNN.png or tex_NNN.bmp in " << dir.string() << "\n";
        return 1;
    }
    for (const ImportedPicture& picture : imported.pictures) {
        if (picture.outcome == ImportedPicture::Outcome::Duplicate) {
            err << picture.reason << "\n";
        } else if (picture.outcome == ImportedPicture::Outcome::Refused) {
            RefuseReplacement(err, picture.name, picture.name, dir / picture.name, picture.error);
        } else {
            NoteReduction(err, picture.name, picture.reduction, parsed.dither);
        }
    }
    const bool written = imported.refused == 0;
    for (const ImportedPicture& picture : imported.pictures) {
        if (picture.outcome == ImportedPicture::Outcome::Replaced ||
            picture.outcome == ImportedPicture::Outcome::Unchanged) {
            out << picture.name
                << (!written ? ": accepted, but not written\n"
                    : picture.outcome == ImportedPicture::Outcome::Replaced ? ": replaced\n"
                                                                            : ": unchanged\n");
        }
    }
    if (!written) {
        err << "Nothing was written: " << imported.refused
            << (imported.refused == 1 ? " picture was" : " pictures were") << " refused\n";
        return 1;
    }
    return WriteOutput(*session, inputs, parsed, out, err);
}

}  // namespace morvane::cli
