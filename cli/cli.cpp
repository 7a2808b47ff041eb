#include "cli/cli.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
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
    "  export STATE DIR [--format bmp|png]\n"
    "                 writes every face texture to DIR, named after its record\n"
    "                 index NNN: bmp (the default) writes DIR/tex_NNN.bmp, a\n"
    "                 16-bit bitmap, and DIR/tex_NNN.bmp.tex; png writes\n"
    "                 DIR/tex_NNN.png, an indexed PNG with the texture's palette\n"
    "  replace STATE RECORD PICTURE [RECORD PICTURE ...] [-o OUT] [--dither]\n"
    "                 replaces the face textures of those records with the\n"
    "                 pictures and writes the whole state once to OUT (default:\n"
    "                 STATE's name up to its last '.', followed by _new.pj).\n"
    "                 STATE itself is never written.\n"
    "  import STATE DIR [-o OUT] [--dither]\n"
    "                 replaces every face texture for which DIR holds tex_NNN.png\n"
    "                 or tex_NNN.bmp, as export names them, and writes the state\n"
    "                 once, as replace does. If any picture is refused, nothing\n"
    "                 is written.\n"
    "\n"
    "STATE is a save state of Goldeneye, saved in a level: Project64's, plain or\n"
    "zipped (.pj, .pj.zip), or one of the mupen64plus family's (.st0 ...).\n"
    "A PICTURE is 32x64: an 8-bit Windows bitmap, or a PNG. An indexed PNG is\n"
    "taken as it is; any other PNG is reduced to the texture's colours, exactly\n"
    "when it has few enough, otherwise by a quantiser (--dither: with error\n"
    "diffusion). The file's bytes, not its name, tell which kind it is.\n"
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

// A usage error: what could not be taken, then the usage.
int Usage(std::ostream& err, const std::string& problem) {
    err << "morvane-cli: " << problem << "\n" << kUsage;
    return 2;
}

// Names the argument a command had too many of, or what it lacks.
int CountUsage(std::ostream& err, const std::vector<std::string>& positional, size_t wanted,
               const std::string& command, const char* needs) {
    if (positional.size() > wanted) {
        return Usage(err, "unexpected argument '" + positional[wanted] + "'");
    }
    return Usage(err, command + " needs " + needs);
}

int Refuse(std::ostream& err, Error error) {
    err << MessageText(error) << "\n";
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
    bool ok = true;
    std::string problem;  // the first argument that could not be taken, and why
};

enum Option : unsigned {
    kOutputOption = 1,
    kFormatOption = 2,
    kJsonOption = 4,
    kDitherOption = 8,
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
        Refuse(err, loaded);
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
        Refuse(err, opened.read);
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

int Export(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    const Arguments parsed = ParseArguments(args, kFormatOption);
    const std::string format = parsed.format.empty() ? "bmp" : parsed.format;
    if (!parsed.ok) {
        return Usage(err, parsed.problem);
    }
    if (parsed.positional.size() != 2) {
        return CountUsage(err, parsed.positional, 2, "export", "STATE and DIR");
    }
    if (format != "bmp" && format != "png") {
        return Usage(err, "--format takes bmp or png, not '" + format + "'");
    }
    const std::string& statePath = parsed.positional[0];
    const std::filesystem::path dir = parsed.positional[1];
    CliUi ui(err);
    const std::unique_ptr<Session> session = Extract(statePath, ui, err);
    if (!session) {
        return 1;
    }
    std::error_code error;
    std::filesystem::create_directories(dir, error);
    if (error || !std::filesystem::is_directory(dir)) {
        return Refuse(err, Error::CouldNotWriteFile);
    }
    int failed = 0;
    const TextureCatalogue& catalogue = session->catalogue;
    for (int32_t j = 0; j < catalogue.shownCount; ++j) {
        const int32_t record = catalogue.ShownList[static_cast<size_t>(j)];
        const std::string name = PictureName(record, format.c_str());
        const Error saved = format == "png" ? SaveAsPng(*session, record, dir / name)
                                            : SaveAsBitmap(*session, record, dir / name);
        if (saved != Error::None) {
            err << name << ": " << MessageText(saved) << "\n";
            // A face too short for a picture is the game's, not a failure.
            failed += saved == Error::TooSmallForPicture ? 0 : 1;
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
    const Error written = WriteSaveState(session.image, outPath);
    if (written != Error::None) {
        return Refuse(err, written);
    }
    out << "Wrote " << outPath.string() << "\n";
    return 0;
}

int Replace(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    // replace STATE RECORD PICTURE [RECORD PICTURE ...] [-o OUT] [--dither]
    const Arguments parsed = ParseArguments(args, kOutputOption | kDitherOption);
    const std::vector<std::string>& positional = parsed.positional;
    if (!parsed.ok) {
        return Usage(err, parsed.problem);
    }
    if (positional.size() < 3 || positional.size() % 2 != 1) {
        return positional.size() < 3
                   ? Usage(err, "replace needs STATE, RECORD and PICTURE")
                   : Usage(err, "no PICTURE after RECORD '" + positional.back() + "'");
    }
    const std::string& statePath = positional[0];
    std::vector<std::pair<int32_t, std::string>> replacements;
    for (size_t i = 1; i < positional.size(); i += 2) {
        int32_t record = 0;
        if (!ParseRecord(positional[i], record)) {
            return Usage(err, "'" + positional[i] + "' is not a record index");
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
            return Refuse(err, applied);
        }
    }
    return WriteOutput(*session, statePath, parsed.output, out, err);
}

// The record index that a picture's file name gives, as export names it:
// "tex_", at least three digits, ".png" or ".bmp" in either case. False for
// any other name.
bool PictureRecord(const std::string& name, int32_t& record) {
    constexpr std::string_view prefix = "tex_";
    if (name.size() < prefix.size() + 3 + 4 || !name.starts_with(prefix)) {
        return false;
    }
    std::string extension = name.substr(name.size() - 4);
    for (char& c : extension) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    const std::string digits = name.substr(prefix.size(), name.size() - prefix.size() - 4);
    if ((extension != ".png" && extension != ".bmp") || digits.size() > 9 ||
        !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        return false;
    }
    return ParseRecord(digits, record);
}

int Import(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    // import STATE DIR [-o OUT] [--dither]
    const Arguments parsed = ParseArguments(args, kOutputOption | kDitherOption);
    if (!parsed.ok) {
        return Usage(err, parsed.problem);
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
    // refusal of its own.
    std::map<int32_t, std::vector<std::string>> pictures;
    std::error_code error;
    for (std::filesystem::directory_iterator entry(dir, error), end; !error && entry != end;
         entry.increment(error)) {
        int32_t record = 0;
        const std::string name = entry->path().filename().string();
        std::error_code notAFile;
        if (PictureRecord(name, record) && entry->is_regular_file(notAFile)) {
            pictures[record].push_back(name);
        }
    }
    if (error) {
        return Refuse(err, Error::CouldNotOpenFile);
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
            err << names[0] << ": " << MessageText(applied) << "\n";
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
            return Usage(err, parsed.problem);
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
