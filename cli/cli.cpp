#include "cli/cli.h"

#include <cstdio>
#include <memory>
#include <ostream>

#include "catalogue/session.h"
#include "catalogue/user_interface.h"
#include "cli/messages.h"

namespace morvane::cli {
namespace {

const char kUsage[] =
    "usage: morvane-cli COMMAND ...\n"
    "\n"
    "Commands:\n"
    "  info STATE     the kind of state, the release, the number of textures and\n"
    "                 of face textures\n"
    "  list STATE     one line per face texture: record, identifier, address, size\n"
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
        m_refused = true;
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

// Loads the state and catalogues its textures; 0 when that worked, otherwise
// the exit status, with the message already shown.
int OpenCatalogue(const std::string& path, Session& session, CliUi& ui, CatalogueResult& result) {
    const Error loaded = LoadSaveStateFile(session.image, path);
    if (loaded != Error::None) {
        ui.ShowMessage(loaded);
        return 1;
    }
    result = BuildTextureCatalogue(session, ui);
    return result.accepted && !ui.refused() ? 0 : 1;
}

int Info(const std::string& path, std::ostream& out, std::ostream& err) {
    auto session = std::make_unique<Session>();
    CliUi ui(err);
    CatalogueResult result;
    if (const int status = OpenCatalogue(path, *session, ui, result); status != 0) {
        return status;
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
    auto session = std::make_unique<Session>();
    CliUi ui(err);
    CatalogueResult result;
    if (const int status = OpenCatalogue(path, *session, ui, result); status != 0) {
        return status;
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
    return Usage(err);
}

}  // namespace morvane::cli
