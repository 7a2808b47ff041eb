#pragma once
// What the command-line tool's commands share: the interface through which
// the core reports, the parsed command line, the refusals as the tool words
// them, loading a state and writing the new one. One source file a group of
// commands: info_list.cpp, export.cpp, replace_import.cpp; cli.cpp holds the
// usage and sends each command line to its command.

#include <cstdint>
#include <filesystem>
#include <memory>
#include <ostream>
#include <span>
#include <string>
#include <vector>

#include "catalogue/session.h"
#include "catalogue/user_interface.h"
#include "common/messages.h"

namespace morvane::cli {

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

// A usage error: what could not be taken, then the command's own usage line,
// or the whole usage when there is no command to speak of.
int Usage(std::ostream& err, const std::string& problem, const std::string& command = "");

// Names the argument a command had too many of, or what it lacks.
int CountUsage(std::ostream& err, const std::vector<std::string>& positional, size_t wanted,
               const std::string& command, const char* needs);

int Refuse(std::ostream& err, Error error);

// A refusal of a file as a whole names the file; one of what a state holds
// need not, as there is only the one state.
int RefuseFile(std::ostream& err, const std::string& path, Error error);

// A refused picture: its name and the refusal's text, then, when its bytes
// say more, one line on what would be accepted instead.
void RefusePicture(std::ostream& err, const std::string& name, const std::filesystem::path& path,
                   Error error);

// A write that failed: the refusal's text, then the file and the system's
// reason, when the system gave one.
int RefuseWrite(std::ostream& err, Error error, const std::filesystem::path& path, int reason);

Arguments ParseArguments(const std::vector<std::string>& args, unsigned options);

// Loads the state into a new session and catalogues it; null, with the
// message shown, when it cannot be loaded or the catalogue refuses it.
std::unique_ptr<Session> LoadCatalogued(const std::string& path, CliUi& ui, std::ostream& err,
                                        CatalogueResult& result);

// Opens the state and runs the extraction pass, as opening it in the window
// does; null when the state was refused.
std::unique_ptr<Session> Extract(const std::string& path, CliUi& ui, std::ostream& err);

// The name export gives a record's picture, and import looks for.
std::string PictureName(int32_t record, const char* extension);

bool ParseRecord(const std::string& text, int32_t& record);

// Refuses an output that exists and cannot be replaced, with the reason on a
// line of its own; 0 when there is nothing against it.
int RefuseOutput(const std::filesystem::path& output, std::ostream& err);

bool OutputIsInput(const std::string& output, const std::string& statePath);

// Refuses an output that leads to the input state or cannot be replaced, with
// the refusal shown; 0 when there is nothing against it.
int RefuseOutputFor(const std::filesystem::path& output, const std::string& statePath,
                    std::ostream& err);

// Writes the state with every replacement made so far, to -o's path or the
// default one for its kind.
int WriteOutput(const Session& session, const std::string& statePath, const std::string& output,
                std::ostream& out, std::ostream& err);

int Info(const std::string& path, bool json, std::ostream& out, std::ostream& err);

int List(const std::string& path, bool json, std::ostream& out, std::ostream& err);

int Export(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

int Replace(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

int Import(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace morvane::cli
