#include "cli/commands.h"

#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <map>
#include <memory>

#include "catalogue/texture_commands.h"
#include "cli/messages.h"

namespace morvane::cli {

namespace {

std::string Lowered(std::string text) {
    for (char& c : text) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return text;
}

// Whether a file in an import folder looks as if it were meant as a picture:
// named tex_..., or with a picture's extension. Export's own texture files
// (tex_NNN.bmp.tex) are not pictures.
bool LooksLikePicture(const std::string& name) {
    const std::string lower = Lowered(name);
    if (lower.ends_with(".tex")) {
        return false;
    }
    for (const char* extension :
         {".png", ".bmp", ".jpg", ".jpeg", ".gif", ".webp", ".tif", ".tiff"}) {
        if (lower.ends_with(extension)) {
            return true;
        }
    }
    return lower.starts_with("tex_");
}

// The record index that a picture's file name gives, as export names it:
// "tex_", at least three digits, ".png" or ".bmp", in either case. Otherwise
// why import does not take the name.
std::string PictureRecord(const std::string& name, int32_t& record) {
    const std::string lower = Lowered(name);
    const size_t dot = lower.rfind('.');
    const std::string extension = dot == std::string::npos ? "" : lower.substr(dot);
    const std::string digits = lower.substr(0, dot).substr(std::min<size_t>(4, dot));
    const bool numbered =
        lower.starts_with("tex_") && !digits.empty() &&
        std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; });
    if (extension != ".png" && extension != ".bmp") {
        return numbered ? "import takes PNG pictures and 8-bit bitmaps, named .png or .bmp: save "
                          "it as PNG"
                        : "not named tex_NNN.png or tex_NNN.bmp";
    }
    if (!numbered) {
        return "not named tex_NNN.png or tex_NNN.bmp";
    }
    if (digits.size() > 9 || !ParseRecord(digits, record)) {
        return "no texture has so large a record index";
    }
    if (digits.size() < 3) {
        return "export names this texture's picture " +
               PictureName(record, extension.substr(1).c_str()) + "; rename it so";
    }
    return "";
}

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
    // The pictures by record index, in order; two for one record is a
    // refusal of its own. A file that looks like a picture but is passed
    // over says why, so that a misnamed edit is not lost in silence; nothing
    // but a regular file is ever opened.
    std::map<int32_t, std::vector<std::string>> pictures;
    std::vector<std::string> skipped;
    std::error_code error;
    for (std::filesystem::directory_iterator entry(dir, error), end; !error && entry != end;
         entry.increment(error)) {
        const std::string name = entry->path().filename().string();
        if (!LooksLikePicture(name)) {
            continue;
        }
        inputs.pictures.push_back(entry->path());
        int32_t record = 0;
        std::string reason = NotAFileReason(entry->path());
        if (reason.empty()) {
            reason = PictureRecord(name, record);
        }
        if (!reason.empty()) {
            skipped.push_back(name + ": skipped: " + reason);
            continue;
        }
        pictures[record].push_back(name);
    }
    if (error) {
        return RefuseFile(err, dir.string(), Error::CouldNotOpenFile);
    }
    std::sort(skipped.begin(), skipped.end());
    for (const std::string& line : skipped) {
        err << line << "\n";
    }
    if (pictures.empty()) {
        err << "No tex_NNN.png or tex_NNN.bmp in " << dir.string() << "\n";
        return 1;
    }
    std::vector<std::pair<std::string, bool>> accepted;  // each name, and whether it changed
    int refused = 0;
    for (auto& [record, names] : pictures) {
        std::sort(names.begin(), names.end());
        if (names.size() > 1) {
            err << names[0];
            for (size_t i = 1; i < names.size(); ++i) {
                err << ", " << names[i];
            }
            err << ": more than one picture for this texture; keep one\n";
            ++refused;
            continue;
        }
        // An unchanged picture (export's own, left as it was) gives back the
        // texture's bytes.
        const uint32_t address = session->catalogue.entries[static_cast<size_t>(record)].address;
        const std::span<const uint8_t> texture =
            RdramBytes(session->image, address, static_cast<uint32_t>(kFaceTextureBytes));
        const std::vector<uint8_t> before(texture.begin(), texture.end());
        Reduction reduction = Reduction::None;
        const Error applied =
            ApplyReplacement(*session, record, dir / names[0], {parsed.dither, &reduction});
        if (applied != Error::None) {
            RefuseReplacement(err, names[0], names[0], dir / names[0], applied);
            ++refused;
            continue;
        }
        NoteReduction(err, names[0], reduction, parsed.dither);
        const std::span<const uint8_t> after =
            RdramBytes(session->image, address, static_cast<uint32_t>(kFaceTextureBytes));
        accepted.emplace_back(names[0], !std::equal(after.begin(), after.end(), before.begin(),
                                                    before.end()));
    }
    if (refused > 0) {
        for (const auto& [name, changed] : accepted) {
            out << name << ": accepted, but not written\n";
        }
        err << "Nothing was written: " << refused
            << (refused == 1 ? " picture was" : " pictures were") << " refused\n";
        return 1;
    }
    for (const auto& [name, changed] : accepted) {
        out << name << (changed ? ": replaced\n" : ": unchanged\n");
    }
    return WriteOutput(*session, inputs, parsed, out, err);
}

}  // namespace morvane::cli
