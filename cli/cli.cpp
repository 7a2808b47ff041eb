#include "cli/cli.h"

#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <ostream>

#include "catalogue/extract_textures.h"
#include "catalogue/session.h"
#include "catalogue/texture_commands.h"
#include "catalogue/user_interface.h"
#include "cli/json.h"
#include "cli/messages.h"
#include "common/file_io.h"

namespace morvane::cli {
namespace {

const char kUsage[] =
    "usage: morvane-cli COMMAND ...\n"
    "       morvane-cli --help | --version\n"
    "\n"
    "Commands:\n"
    "  info STATE [--json]\n"
    "                 the kind of state, the release, the number of textures and\n"
    "                 of face textures\n"
    "  list STATE [--json]\n"
    "                 one line per face texture: record, identifier, address, size\n"
    "  export STATE DIR [--format png|bmp] [--force]\n"
    "                 writes every face texture to DIR, named after its record\n"
    "                 index NNN: png (the default) writes DIR/tex_NNN.png, an\n"
    "                 indexed PNG with the texture's palette, which import takes\n"
    "                 back; bmp writes DIR/tex_NNN.bmp, a 16-bit bitmap, and\n"
    "                 DIR/tex_NNN.bmp.tex, the texture file. If a file there\n"
    "                 differs from what export would write (an edited picture),\n"
    "                 nothing is written unless --force is given.\n"
    "  replace STATE RECORD PICTURE [RECORD PICTURE ...] [-o OUT] [--dither]\n"
    "                 replaces the face textures of those records with the\n"
    "                 pictures and writes the whole state once to OUT (default:\n"
    "                 STATE's name up to its last '.', followed by _new.pj).\n"
    "                 STATE itself is never written.\n"
    "  import STATE DIR [-o OUT] [--dither]\n"
    "                 replaces every face texture for which DIR holds tex_NNN.png\n"
    "                 or tex_NNN.bmp, as export names them, and writes the state\n"
    "                 once, as replace does. If any picture is refused, nothing\n"
    "                 is written. Other files that look like pictures are\n"
    "                 passed over, each with a line that says why.\n"
    "\n"
    "STATE is a save state of Goldeneye, saved in a level: Project64's, plain or\n"
    "zipped (.pj, .pj.zip), or one of the mupen64plus family's (.st0 ...).\n"
    "A PICTURE is 32x64: an 8-bit Windows bitmap, or a PNG. An indexed PNG is\n"
    "taken as it is; any other PNG is reduced to the texture's colours, exactly\n"
    "when it has few enough, otherwise by a quantiser (--dither: with error\n"
    "diffusion). The file's bytes, not its name, tell which kind it is. A PNG's\n"
    "colours keep the alpha bits the texture gives them; a bitmap's have none.\n"
    "Messages go to standard error; the exit status is 1 when the tool refused\n"
    "its input and 2 for a usage error.\n";

// Shows what the core reports on standard error, word for word.
class CliUi final : public UserInterface {
public:
    explicit CliUi(std::ostream& err) : m_err(err) {}

    void ShowMessage(Error message) override {
        m_err << MessageText(message) << "\n";
        // A record that cannot be read is a warning; the pass goes on.
        if (message != Error::MemoryAllocationFailure) {
            m_refused = true;
        }
    }
    void SetStatus(Status status) override { m_status = StatusText(status); }
    void RebuildGallery(std::span<const ShownFace>) override {}

    bool refused() const { return m_refused; }
    const std::string& status() const { return m_status; }

private:
    std::ostream& m_err;
    std::string m_status;
    bool m_refused = false;
};

// Each command's line of the usage, for a usage error about that command.
const char* Synopsis(const std::string& command) {
    if (command == "info" || command == "list") {
        return command == "info" ? "info STATE [--json]" : "list STATE [--json]";
    }
    if (command == "export") {
        return "export STATE DIR [--format png|bmp] [--force]";
    }
    if (command == "replace") {
        return "replace STATE RECORD PICTURE [RECORD PICTURE ...] [-o OUT] [--dither]";
    }
    if (command == "import") {
        return "import STATE DIR [-o OUT] [--dither]";
    }
    return nullptr;
}

// A usage error: what could not be taken, then the command's own usage line,
// or the whole usage when there is no command to speak of.
int Usage(std::ostream& err, const std::string& problem, const std::string& command = "") {
    err << "morvane-cli: " << problem << "\n";
    if (const char* synopsis = Synopsis(command)) {
        err << "usage: morvane-cli " << synopsis << "\n"
            << "Try 'morvane-cli --help' for more information.\n";
    } else {
        err << kUsage;
    }
    return 2;
}

// Names the argument a command had too many of, or what it lacks.
int CountUsage(std::ostream& err, const std::vector<std::string>& positional, size_t wanted,
               const std::string& command, const char* needs) {
    if (positional.size() > wanted) {
        return Usage(err, "unexpected argument '" + positional[wanted] + "'", command);
    }
    return Usage(err, command + " needs " + needs, command);
}

int Refuse(std::ostream& err, Error error) {
    err << MessageText(error) << "\n";
    return 1;
}

// A refusal of a file as a whole names the file; one of what a state holds
// need not, as there is only the one state.
int RefuseFile(std::ostream& err, const std::string& path, Error error) {
    if (error == Error::CouldNotOpenFile || error == Error::FileTooLarge) {
        err << path << ": ";
    }
    return Refuse(err, error);
}

// A refused picture: its name and the refusal's text, then, when its bytes
// say more, one line on what would be accepted instead.
void RefusePicture(std::ostream& err, const std::string& name, const std::filesystem::path& path,
                   Error error) {
    err << name << ": " << MessageText(error) << "\n";
    std::vector<uint8_t> file;
    if (error != Error::CouldNotOpenFile && error != Error::FileTooLarge &&
        ReadFileBytes(path, file) == Error::None) {
        if (const std::string hint = PictureHintText(error, file); !hint.empty()) {
            err << hint << "\n";
        }
    }
}

// A write that failed: the refusal's text, then the file and the system's
// reason, when the system gave one.
int RefuseWrite(std::ostream& err, Error error, const std::filesystem::path& path, int reason) {
    err << MessageText(error) << "\n";
    if (reason != 0) {
        err << path.string() << ": " << std::strerror(reason) << "\n";
    }
    return 1;
}

// A command line split into its positional arguments and its options. Only
// the options a command names are options to it; any other argument that
// starts with "--" is a usage error.
struct Arguments {
    std::vector<std::string> positional;
    std::string output;  // -o, --output
    std::string format;  // --format
    bool json = false;
    bool dither = false;
    bool force = false;  // --force
    bool ok = true;
    std::string problem;  // the first argument that could not be taken, and why
};

enum Option : unsigned {
    kOutputOption = 1,
    kFormatOption = 2,
    kJsonOption = 4,
    kDitherOption = 8,
    kForceOption = 16,
};

Arguments ParseArguments(const std::vector<std::string>& args, unsigned options) {
    Arguments parsed;
    const auto refuse = [&parsed](const std::string& problem) {
        if (parsed.ok) {
            parsed.problem = problem;
        }
        parsed.ok = false;
    };
    const auto takeValue = [&](size_t& i, std::string& value) {
        const std::string& arg = args[i];
        if (i + 1 >= args.size()) {
            refuse("option '" + arg + "' needs a value");
        } else if (!value.empty()) {
            refuse("option '" + arg + "' given twice");
        }
        value = i + 1 < args.size() ? args[++i] : "";
    };
    for (size_t i = 1; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if ((options & kOutputOption) && (arg == "-o" || arg == "--output")) {
            takeValue(i, parsed.output);
        } else if ((options & kFormatOption) && arg == "--format") {
            takeValue(i, parsed.format);
        } else if ((options & kJsonOption) && arg == "--json") {
            parsed.json = true;
        } else if ((options & kDitherOption) && arg == "--dither") {
            parsed.dither = true;
        } else if ((options & kForceOption) && arg == "--force") {
            parsed.force = true;
        } else if (arg.starts_with("--")) {
            refuse("unknown option '" + arg + "' for " + args[0]);
        } else {
            parsed.positional.push_back(arg);
        }
    }
    return parsed;
}

// Loads the state into a new session; null, with the message shown, when it
// cannot be loaded.
std::unique_ptr<Session> Load(const std::string& path, std::ostream& err) {
    auto session = std::make_unique<Session>();
    const Error loaded = LoadSaveStateFile(session->image, path);
    if (loaded != Error::None) {
        RefuseFile(err, path, loaded);
        return nullptr;
    }
    return session;
}

int Info(const std::string& path, bool json, std::ostream& out, std::ostream& err) {
    const std::unique_ptr<Session> session = Load(path, err);
    if (!session) {
        return 1;
    }
    CliUi ui(err);
    const CatalogueResult result = BuildTextureCatalogue(*session, ui);
    if (!result.accepted) {
        return 1;
    }
    int faces = 0;
    for (uint32_t i = 0; i < result.recordCount; ++i) {
        faces += IsFaceTexture(session->catalogue.entries[i]) ? 1 : 0;
    }
    if (json) {
        JsonWriter writer;
        writer.BeginObject()
            .Key("format")
            .String(FormatText(session->image))
            .Key("release")
            .String(result.release == Release::Ntsc ? "NTSC" : "PAL")
            .Key("textures")
            .Number(result.recordCount)
            .Key("face_textures")
            .Number(faces)
            .EndObject();
        out << writer.text() << "\n";
        return 0;
    }
    out << "format: " << FormatText(session->image) << "\n";
    out << ui.status() << "\n";
    out << "textures: " << result.recordCount << "\n";
    out << "face textures: " << faces << "\n";
    return 0;
}

int List(const std::string& path, bool json, std::ostream& out, std::ostream& err) {
    const std::unique_ptr<Session> session = Load(path, err);
    if (!session) {
        return 1;
    }
    CliUi ui(err);
    const CatalogueResult result = BuildTextureCatalogue(*session, ui);
    if (!result.accepted) {
        return 1;
    }
    JsonWriter writer;
    writer.BeginObject().Key("face_textures").BeginArray();
    if (!json) {
        out << "record\tidentifier\taddress\tsize\n";
    }
    for (uint32_t i = 0; i < result.recordCount; ++i) {
        const TextureRecord& record = session->catalogue.records[i];
        if (!IsFaceTexture(record.entry)) {
            continue;
        }
        if (json) {
            writer.BeginObject()
                .Key("record")
                .Number(i)
                .Key("identifier")
                .Number(record.entry.identifier)
                .Key("address")
                .Number(record.entry.address)
                .Key("size")
                .Number(record.size)
                .EndObject();
            continue;
        }
        char line[64];
        std::snprintf(line, sizeof line, "%u\t0x%04X\t0x%08X\t%u\n", i, record.entry.identifier,
                      record.entry.address, record.size);
        out << line;
    }
    if (json) {
        writer.EndArray().EndObject();
        out << writer.text() << "\n";
    }
    return 0;
}

// Opens the state and runs the extraction pass, as opening it in the window
// does; null when the state was refused.
std::unique_ptr<Session> Extract(const std::string& path, CliUi& ui, std::ostream& err) {
    auto session = std::make_unique<Session>();
    const OpenResult opened = OpenSaveState(*session, path, ui);
    if (opened.read != Error::None) {
        RefuseFile(err, path, opened.read);
        return nullptr;
    }
    if (!opened.accepted || ui.refused()) {
        return nullptr;
    }
    return session;
}

// The name export gives a record's picture, and import looks for.
std::string PictureName(int32_t record, const char* extension) {
    char name[32];
    std::snprintf(name, sizeof name, "tex_%3.3d.%s", record, extension);
    return name;
}

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
enum class Existing { Absent, Same, Different, NotAFile };

Existing Compare(const std::filesystem::path& path, const std::vector<uint8_t>& bytes) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        // A dangling link is written through; anything else the write will tell.
        return Existing::Absent;
    }
    if (!S_ISREG(info.st_mode)) {
        return Existing::NotAFile;
    }
    std::vector<uint8_t> existing;
    const Error read = ReadFileBytes(path, existing, bytes.size());
    return read == Error::None && existing == bytes ? Existing::Same : Existing::Different;
}

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
            const Existing existing = Compare(dir / name, *bytes);
            same = same && existing == Existing::Same;
            if (existing == Existing::NotAFile) {
                err << MessageText(Error::CouldNotWriteFile) << "\n"
                    << OutputRefusalText((dir / name).string(), CheckOutputPath(dir / name))
                    << "\n";
                ++blocked;
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
                : SaveAsBitmap(*session, face->record, dir / face->name);
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

bool ParseRecord(const std::string& text, int32_t& record) {
    char* end = nullptr;
    const long value = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || value < 0 || value > 0x7FFFFFFF) {
        return false;
    }
    record = static_cast<int32_t>(value);
    return true;
}

// Refuses an output that exists and cannot be replaced, with the reason on a
// line of its own; 0 when there is nothing against it.
int RefuseOutput(const std::filesystem::path& output, std::ostream& err) {
    const OutputCheck check = CheckOutputPath(output);
    if (check.ok()) {
        return 0;
    }
    err << MessageText(Error::CouldNotWriteSaveState) << "\n"
        << OutputRefusalText(output.string(), check) << "\n";
    return 1;
}

bool OutputIsInput(const std::string& output, const std::string& statePath) {
    return !output.empty() &&
           (std::filesystem::path(output) == statePath || SameFile(output, statePath));
}

// Writes the state with every replacement made so far, to -o's path or the
// default one for its kind.
int WriteOutput(const Session& session, const std::string& statePath, const std::string& output,
                std::ostream& out, std::ostream& err) {
    // The default name depends on the kind of state, known once it is loaded.
    const std::filesystem::path outPath = output.empty()
                                              ? OutputPathFor(statePath, session.image.format)
                                              : std::filesystem::path(output);
    // The default name can lead back to the input too, through a link.
    if (OutputIsInput(outPath.string(), statePath)) {
        return Refuse(err, Error::OutputOverwritesInput);
    }
    if (output.empty() && RefuseOutput(outPath, err) != 0) {
        return 1;
    }
    errno = 0;  // what is left in it after a failed write is the system's reason
    const Error written = WriteSaveState(session.image, outPath);
    if (written != Error::None) {
        return RefuseWrite(err, written, outPath, errno);
    }
    out << "Wrote " << outPath.string() << "\n";
    return 0;
}

int Replace(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    // replace STATE RECORD PICTURE [RECORD PICTURE ...] [-o OUT] [--dither]
    const Arguments parsed = ParseArguments(args, kOutputOption | kDitherOption);
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
    }
    if (OutputIsInput(parsed.output, statePath)) {
        return Refuse(err, Error::OutputOverwritesInput);
    }
    if (!parsed.output.empty() && RefuseOutput(parsed.output, err) != 0) {
        return 1;
    }

    CliUi ui(err);
    const std::unique_ptr<Session> session = Extract(statePath, ui, err);
    if (!session) {
        return 1;
    }
    // Every replacement goes into the image first; the state is written once,
    // and not at all if any picture is refused.
    for (const auto& [record, picture] : replacements) {
        const Error applied = ApplyReplacement(*session, record, picture, {parsed.dither});
        if (applied != Error::None) {
            RefusePicture(err, picture, picture, applied);
            return 1;
        }
    }
    return WriteOutput(*session, statePath, parsed.output, out, err);
}

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

int Import(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    // import STATE DIR [-o OUT] [--dither]
    const Arguments parsed = ParseArguments(args, kOutputOption | kDitherOption);
    if (!parsed.ok) {
        return Usage(err, parsed.problem, "import");
    }
    if (parsed.positional.size() != 2) {
        return CountUsage(err, parsed.positional, 2, "import", "STATE and DIR");
    }
    const std::string& statePath = parsed.positional[0];
    const std::filesystem::path dir = parsed.positional[1];
    if (OutputIsInput(parsed.output, statePath)) {
        return Refuse(err, Error::OutputOverwritesInput);
    }
    if (!parsed.output.empty() && RefuseOutput(parsed.output, err) != 0) {
        return 1;
    }
    CliUi ui(err);
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
    std::vector<std::string> accepted;
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
        const Error applied = ApplyReplacement(*session, record, dir / names[0], {parsed.dither});
        if (applied != Error::None) {
            RefusePicture(err, names[0], dir / names[0], applied);
            ++refused;
            continue;
        }
        accepted.push_back(names[0]);
    }
    if (refused > 0) {
        for (const std::string& name : accepted) {
            out << name << ": accepted, but not written\n";
        }
        err << "Nothing was written: " << refused
            << (refused == 1 ? " picture was" : " pictures were") << " refused\n";
        return 1;
    }
    for (const std::string& name : accepted) {
        out << name << ": replaced\n";
    }
    return WriteOutput(*session, statePath, parsed.output, out, err);
}

}  // namespace

int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (args.empty()) {
        return Usage(err, "no command given");
    }
    const std::string& command = args[0];
    if (command == "--help" || command == "-h" || command == "help") {
        out << kUsage;
        return 0;
    }
    if (command == "--version") {
        out << "morvane-cli " << MORVANE_VERSION << "\n";
        return 0;
    }
    if (command == "info" || command == "list") {
        const Arguments parsed = ParseArguments(args, kJsonOption);
        if (!parsed.ok) {
            return Usage(err, parsed.problem, command);
        }
        if (parsed.positional.size() != 1) {
            return CountUsage(err, parsed.positional, 1, command, "STATE");
        }
        return command == "info" ? Info(parsed.positional[0], parsed.json, out, err)
                                 : List(parsed.positional[0], parsed.json, out, err);
    }
    if (command == "export") {
        return Export(args, out, err);
    }
    if (command == "replace") {
        return Replace(args, out, err);
    }
    if (command == "import") {
        return Import(args, out, err);
    }
    return Usage(err, "unknown command '" + command + "'");
}

}  // namespace morvane::cli
