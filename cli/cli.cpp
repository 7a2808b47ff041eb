#include "cli/cli.h"

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <ostream>

#include "catalogue/extract_textures.h"
#include "catalogue/session.h"
#include "catalogue/texture_commands.h"
#include "catalogue/user_interface.h"
#include "cli/messages.h"
#include "common/file_io.h"

namespace morvane::cli {
namespace {

const char kUsage[] =
    "usage: morvane-cli COMMAND ...\n"
    "\n"
    "Commands:\n"
    "  info STATE     the kind of state, the release, the number of textures and\n"
    "                 of face textures\n"
    "  list STATE     one line per face texture: record, identifier, address, size\n"
    "  export STATE DIR\n"
    "                 writes DIR/tex_NNN.bmp and DIR/tex_NNN.bmp.tex for every\n"
    "                 face texture, NNN being its record index\n"
    "  replace STATE RECORD PICTURE [RECORD PICTURE ...] [-o OUT]\n"
    "                 replaces the face textures of those records with the\n"
    "                 pictures (32x64, 256 colours) and writes the whole state\n"
    "                 once to OUT (default: STATE's name up to its last '.',\n"
    "                 followed by _new.pj). STATE itself is never written.\n"
    "\n"
    "STATE is a save state of Goldeneye, saved in a level: Project64's, plain or\n"
    "zipped (.pj, .pj.zip), or one of the mupen64plus family's (.st0 ...).\n"
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
    void RebuildGallery(const TextureCatalogue&) override {}

    bool refused() const { return m_refused; }
    const std::string& status() const { return m_status; }

private:
    std::ostream& m_err;
    std::string m_status;
    bool m_refused = false;
};

int Usage(std::ostream& err) {
    err << kUsage;
    return 2;
}

int Refuse(std::ostream& err, Error error) {
    err << MessageText(error) << "\n";
    return 1;
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

int Info(const std::string& path, std::ostream& out, std::ostream& err) {
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
    out << "format: " << FormatText(session->image) << "\n";
    out << ui.status() << "\n";
    out << "textures: " << result.recordCount << "\n";
    out << "face textures: " << faces << "\n";
    return 0;
}

int List(const std::string& path, std::ostream& out, std::ostream& err) {
    const std::unique_ptr<Session> session = Load(path, err);
    if (!session) {
        return 1;
    }
    CliUi ui(err);
    const CatalogueResult result = BuildTextureCatalogue(*session, ui);
    if (!result.accepted) {
        return 1;
    }
    out << "record\tidentifier\taddress\tsize\n";
    for (uint32_t i = 0; i < result.recordCount; ++i) {
        const TextureRecord& record = session->catalogue.records[i];
        if (!IsFaceTexture(record.entry)) {
            continue;
        }
        char line[64];
        std::snprintf(line, sizeof line, "%u\t0x%04X\t0x%08X\t%u\n", i, record.entry.identifier,
                      record.entry.address, record.size);
        out << line;
    }
    return 0;
}

// Loads the state and runs the extraction pass, as opening it in the window
// does; null when the state was refused.
std::unique_ptr<Session> Extract(const std::string& path, CliUi& ui, std::ostream& err) {
    std::unique_ptr<Session> session = Load(path, err);
    if (!session) {
        return nullptr;
    }
    ExtractTextures(*session, ui);
    if (ui.refused()) {
        return nullptr;
    }
    return session;
}

int Export(const std::string& statePath, const std::string& dir, std::ostream& out,
           std::ostream& err) {
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
    int exported = 0;
    int failed = 0;
    const TextureCatalogue& catalogue = session->catalogue;
    for (int32_t j = 0; j < catalogue.shownCount; ++j) {
        const int32_t record = catalogue.ShownList[static_cast<size_t>(j)];
        char name[32];
        std::snprintf(name, sizeof name, "tex_%3.3d.bmp", record);
        const Error saved = SaveAsBitmap(*session, record, std::filesystem::path(dir) / name);
        if (saved != Error::None) {
            err << name << ": " << MessageText(saved) << "\n";
            ++failed;
            continue;
        }
        ++exported;
    }
    if (catalogue.shownCount == 0) {
        out << "No textures found!\n";
    } else {
        out << "Extracted " << exported << " textures\n";
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

int Replace(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    // replace STATE RECORD PICTURE [RECORD PICTURE ...] [-o OUT]
    std::vector<std::string> positional;
    std::string output;
    for (size_t i = 1; i < args.size(); ++i) {
        if (args[i] == "-o" || args[i] == "--output") {
            if (i + 1 >= args.size() || !output.empty()) {
                return Usage(err);
            }
            output = args[++i];
        } else {
            positional.push_back(args[i]);
        }
    }
    if (positional.size() < 3 || positional.size() % 2 != 1) {
        return Usage(err);
    }
    const std::string& statePath = positional[0];
    std::vector<std::pair<int32_t, std::string>> replacements;
    for (size_t i = 1; i < positional.size(); i += 2) {
        int32_t record = 0;
        if (!ParseRecord(positional[i], record)) {
            return Usage(err);
        }
        replacements.emplace_back(record, positional[i + 1]);
    }
    if (!output.empty() && (std::filesystem::path(output) == statePath || SameFile(output, statePath))) {
        return Refuse(err, Error::OutputOverwritesInput);
    }

    CliUi ui(err);
    const std::unique_ptr<Session> session = Extract(statePath, ui, err);
    if (!session) {
        return 1;
    }
    // The default name depends on the kind of state, known once it is loaded.
    const std::filesystem::path outPath =
        output.empty() ? OutputPathFor(statePath, session->image.format) : std::filesystem::path(output);
    // Every replacement goes into the image first; the state is written once,
    // and not at all if any picture is refused.
    for (const auto& [record, picture] : replacements) {
        const Error applied = ApplyReplacement(*session, record, picture);
        if (applied != Error::None) {
            return Refuse(err, applied);
        }
    }
    const Error written = WriteSaveState(session->image, outPath);
    if (written != Error::None) {
        return Refuse(err, written);
    }
    out << "Wrote " << outPath.string() << "\n";
    return 0;
}

}  // namespace

int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (args.empty()) {
        return Usage(err);
    }
    const std::string& command = args[0];
    if (command == "--help" || command == "-h" || command == "help") {
        out << kUsage;
        return 0;
    }
    if (command == "info" && args.size() == 2) {
        return Info(args[1], out, err);
    }
    if (command == "list" && args.size() == 2) {
        return List(args[1], out, err);
    }
    if (command == "export" && args.size() == 3) {
        return Export(args[1], args[2], out, err);
    }
    if (command == "replace") {
        return Replace(args, out, err);
    }
    return Usage(err);
}

}  // namespace morvane::cli
