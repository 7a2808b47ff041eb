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

#include "catalogue/picture_import.h"
#include "catalogue/session.h"
#include "catalogue/user_interface.h"
#include "common/messages.h"
#include "texture/colour_reduction.h"

namespace morvane::cli {

// Shows what the core reports on standard error, word for word: a refusal
// of the state after the state's name, the records that cannot be read in one
// line.
class CliUi final : public UserInterface {
public:
    CliUi(std::ostream& err, std::string statePath) : m_err(err), m_state(std::move(statePath)) {}

    void ShowMessage(Error message) override {
        m_err << m_state << ": " << MessageText(message) << "\n";
        m_refused = true;
    }
    // A warning: the pass goes on.
    void ShowUnreadableRecords(std::span<const int32_t> records) override {
        m_err << MessageText(Error::MemoryAllocationFailure) << ": " << RecordsText(records)
              << "\n";
    }
    void SetStatus(Status status) override { m_status = StatusText(status); }
    void RebuildGallery(std::span<const ShownFace>) override {}

    bool refused() const { return m_refused; }
    const std::string& status() const { return m_status; }

private:
    std::ostream& m_err;
    std::string m_state;
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

// A refusal of a file as a whole: its name, then the refusal's text.
int RefuseFile(std::ostream& err, const std::string& path, Error error);

// A refused replacement: a refusal of the texture names it by `texture`
// ("record 4", or the picture whose name gives the record), one of the
// picture names the picture and, when its bytes say more, adds one line on
// what would be accepted instead.
void RefuseReplacement(std::ostream& err, const std::string& texture, const std::string& name,
                       const std::filesystem::path& path, Error error);

// When a PNG's colours had to be reduced to fit, one line that says how.
void NoteReduction(std::ostream& err, const std::string& name, Reduction reduction, bool dither);

// A write that failed: the refusal's text, then the file and the system's
// reason, when the system gave one; OutputFolderMoved, the file and its text.
int RefuseWrite(std::ostream& err, Error error, const std::filesystem::path& path, int reason);

Arguments ParseArguments(const std::vector<std::string>& args, unsigned options);

// Loads the state into a new session and catalogues it; null, with the
// message shown, when it cannot be loaded or the catalogue refuses it.
std::unique_ptr<Session> LoadCatalogued(const std::string& path, CliUi& ui, std::ostream& err,
                                        CatalogueResult& result);

// Opens the state and runs the extraction pass, as opening it in the window
// does; null when the state was refused.
std::unique_ptr<Session> Extract(const std::string& path, CliUi& ui, std::ostream& err);


bool ParseRecord(const std::string& text, int32_t& record);

// What a command reads: the state, then any pictures. No output is ever one
// of them, by name, link or hard link.
struct Inputs {
    std::string state;
    std::vector<std::filesystem::path> pictures;
};

// Refuses an output that leads to one of the inputs or cannot be replaced,
// with the refusal shown; 0 when there is nothing against it.
int RefuseOutputFor(const std::filesystem::path& output, const Inputs& inputs, std::ostream& err);

// Writes the state with every replacement made so far, to -o's path or the
// default one for its kind. The default output is not written over without
// --force, nor is a read-only one.
int WriteOutput(const Session& session, const Inputs& inputs, const Arguments& arguments,
                std::ostream& out, std::ostream& err);

int Info(const std::string& path, bool json, std::ostream& out, std::ostream& err);

int List(const std::string& path, bool json, std::ostream& out, std::ostream& err);

int Export(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

int Replace(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

int Import(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace morvane::cli
