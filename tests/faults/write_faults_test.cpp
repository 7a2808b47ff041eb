// Real write failures, kills and signals, no mocks: the built morvane-cli
// replaces a face while the system refuses its write part way, while its
// folder refuses new files, into a folder that does not exist, over things
// that are not files, while it is killed at random moments, and when SIGINT,
// SIGTERM or SIGHUP come while it writes. The earlier output must survive
// each of them whole, and a signal must take the partial file with it.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

#include <csignal>
#include <map>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "support/process.h"
#include "support/temp_dir.h"
#include "tools/state_generator.h"

namespace morvane::test {
namespace {

const char kCouldNotWrite[] = "Could not write the save state.\n";

// A state, two pictures and the outputs that replacing face record 0 with
// each of them gives.
class WriteFaults : public testing::Test {
protected:
    void SetUp() override {
        WriteAll(m_state, gen::GenerateSaveState({}).file);
        WriteAll(m_pictureA, gen::FaceBitmap(1));
        WriteAll(m_pictureB, gen::FaceBitmap(2));
        std::filesystem::create_directory(m_temporary);
        m_outputA = Replaced(m_pictureA);
        m_outputB = Replaced(m_pictureB);
        ASSERT_FALSE(m_outputA.empty());
        ASSERT_NE(m_outputA, m_outputB);
    }

    // Runs the replacement of record 0 into `out` with the test's temporary
    // folder.
    ProcessResult Replace(const std::filesystem::path& picture, const std::filesystem::path& out,
                          ProcessOptions options = {}) const {
        options.environment.emplace_back("TMPDIR", m_temporary.string());
        return RunCli({"replace", m_state.string(), "0", picture.string(), "-o", out.string()},
                      options);
    }

    // The complete output for a picture, made by an uninterrupted run.
    std::vector<uint8_t> Replaced(const std::filesystem::path& picture) {
        const auto out = m_dir / "reference.pj";
        const ProcessResult run = Replace(picture, out);
        EXPECT_TRUE(run.exited && run.status == 0) << run.err;
        m_runTime = std::max(m_runTime, run.duration);
        std::vector<uint8_t> bytes = ReadAll(out);
        std::filesystem::remove(out);
        return bytes;
    }

    // Names in `folder` other than `keep` and WriteFileAtomically's leftovers
    // for `target`.
    static std::vector<std::string> Strays(const std::filesystem::path& folder,
                                           const std::vector<std::string>& keep,
                                           const std::string& target) {
        std::vector<std::string> strays;
        for (const auto& entry : std::filesystem::directory_iterator(folder)) {
            const std::string name = entry.path().filename().string();
            if (std::find(keep.begin(), keep.end(), name) == keep.end() &&
                name.rfind("." + target + ".morvane-partial-", 0) != 0) {
                strays.push_back(name);
            }
        }
        return strays;
    }

    // How long a replacement into `out` runs once its temporary file has
    // appeared: the write, the flush, the rename and the exit.
    std::chrono::microseconds TimeFromTemporaryFileToExit(const std::filesystem::path& out) const {
        const std::string target = out.filename().string();
        const int before = Leftovers(out.parent_path(), target);
        std::optional<std::chrono::steady_clock::time_point> seen;
        ProcessOptions options;
        options.killWhen = [&] {
            if (!seen && Leftovers(out.parent_path(), target) > before) {
                seen = std::chrono::steady_clock::now();
            }
            return false;
        };
        const ProcessResult run = Replace(m_pictureA, out, options);
        EXPECT_EQ(run.status, 0) << run.err;
        EXPECT_TRUE(seen.has_value());
        return std::chrono::duration_cast<std::chrono::microseconds>(
            std::chrono::steady_clock::now() - seen.value_or(std::chrono::steady_clock::now()));
    }

    static int Leftovers(const std::filesystem::path& folder, const std::string& target) {
        int count = 0;
        for (const auto& entry : std::filesystem::directory_iterator(folder)) {
            count +=
                entry.path().filename().string().rfind("." + target + ".morvane-partial-", 0) == 0;
        }
        return count;
    }

    TempDir m_dir;
    std::filesystem::path m_state = m_dir / "GOLDENEYE.pj";
    std::filesystem::path m_pictureA = m_dir / "a.bmp";
    std::filesystem::path m_pictureB = m_dir / "b.bmp";
    std::filesystem::path m_temporary = m_dir / "tmp";
    std::vector<uint8_t> m_outputA;
    std::vector<uint8_t> m_outputB;
    std::chrono::microseconds m_runTime{};
};

TEST_F(WriteFaults, AFileSizeLimitFailsTheWriteAndKeepsTheEarlierOutput) {
    const auto out = m_dir / "out.pj";
    const uint64_t size = m_outputA.size();
    for (const uint64_t limit : {uint64_t{0}, uint64_t{4096}, uint64_t{1} << 20, size - 1}) {
        SCOPED_TRACE("limit " + std::to_string(limit));
        WriteAll(out, m_outputA);
        ProcessOptions options;
        options.fileSizeLimit = limit;
        const ProcessResult run = Replace(m_pictureB, out, options);
        ASSERT_TRUE(run.exited) << "ended by signal " << run.signal;
        EXPECT_EQ(run.status, 1);
        // The system's reason follows: the limit, not something else.
        EXPECT_EQ(run.err, kCouldNotWrite + out.string() + ": File too large\n");
        EXPECT_EQ(run.out, "");
        EXPECT_TRUE(ReadAll(out) == m_outputA);
        EXPECT_EQ(Leftovers(m_dir.path(), "out.pj"), 0);
    }
    // The limit is what failed the write: exactly the state's size is enough.
    ProcessOptions options;
    options.fileSizeLimit = size;
    const ProcessResult run = Replace(m_pictureB, out, options);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(ReadAll(out) == m_outputB);
}

// Nothing but the outputs is written, so no temporary folder is needed: with
// TMPDIR unusable every command still works, and the files in the folder it
// runs in, named as the faces would be, are left alone.
TEST_F(WriteFaults, AnUnusableTmpdirChangesNothingAnywhere) {
    const auto here = m_dir / "faces";
    std::filesystem::create_directory(here);
    WriteAll(here / "tex_000.bmp", ReadAll(m_pictureB));
    WriteAll(here / "tex_004.tex", {'m', 'i', 'n', 'e'});
    WriteAll(here / "tex_001.bmp.tex", {'m', 'i', 'n', 'e'});
    const auto snapshot = [&here] {
        std::map<std::string, std::vector<uint8_t>> files;
        for (const auto& entry : std::filesystem::directory_iterator(here)) {
            files[entry.path().filename().string()] = ReadAll(entry.path());
        }
        return files;
    };
    const auto before = snapshot();
    const std::string state = m_state.string();
    const std::vector<std::vector<std::string>> commands = {
        {"info", state},
        {"replace", state, "0", "tex_000.bmp", "-o", (m_dir / "out.pj").string()},
        {"import", state, ".", "-o", (m_dir / "imported.pj").string()},
        {"export", state, (m_dir / "exported").string()},
    };
    for (const char* tmpdir : {"/nonexistent", "/dev/null", "tex_004.tex"}) {
        for (const std::vector<std::string>& command : commands) {
            ProcessOptions options;
            options.workingDirectory = here;
            options.environment.emplace_back("TMPDIR", tmpdir);
            const ProcessResult run = RunCli(command, options);
            EXPECT_TRUE(run.exited && run.status == 0)
                << command[0] << " with TMPDIR=" << tmpdir << ": " << run.err;
            EXPECT_EQ(snapshot(), before) << command[0] << " with TMPDIR=" << tmpdir;
        }
    }
}

// A bitmap export is a pair, the texture file and its picture; a disk that
// fills between the two must leave neither, not a texture file alone.
TEST_F(WriteFaults, AFullDiskLeavesNoTextureFileWithoutItsPicture) {
    const auto faces = m_dir / "faces";
    ProcessOptions options;
    // Room for a face's texture file (16 + 2560 to 4104 bytes) but not for
    // its 4150-byte bitmap.
    options.fileSizeLimit = 4130;
    const ProcessResult run =
        RunCli({"export", m_state.string(), faces.string(), "--format", "bmp"}, options);
    ASSERT_TRUE(run.exited) << "ended by signal " << run.signal;
    EXPECT_EQ(run.status, 1);
    for (const auto& entry : std::filesystem::directory_iterator(faces)) {
        const std::string name = entry.path().filename().string();
        EXPECT_EQ(name.find(".morvane-partial-"), std::string::npos) << name;
        if (name.ends_with(".tex")) {
            EXPECT_TRUE(std::filesystem::exists(faces / name.substr(0, name.size() - 4))) << name;
        }
    }
}

// A folder of its own that every user can enter, under the first of the
// candidates where "nobody" can run a copy of morvane-cli; empty when none.
// The checkout may lie in a folder closed to others (a fresh mktemp -d,
// /root), so nothing the tool runs or reads as nobody can stay in it.
std::filesystem::path FolderNobodyCanUse(std::string& why) {
    std::vector<std::filesystem::path> candidates;
    std::error_code error;
    const std::filesystem::path temporary = std::filesystem::temp_directory_path(error);
    if (!error) {
        candidates.push_back(temporary);
    }
    candidates.insert(candidates.end(), {"/tmp", "/var/tmp"});
    for (const std::filesystem::path& base : candidates) {
        std::string pattern = (base / "morvane-nobody-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) {
            why += base.string() + ": cannot make a folder; ";
            continue;
        }
        const std::filesystem::path folder = pattern;
        ::chmod(folder.c_str(), 0755);
        const std::filesystem::path tool = folder / "morvane-cli";
        std::filesystem::copy_file(CliPath(), tool, error);
        ProcessOptions options;
        options.dropRoot = true;
        const ProcessResult run = RunProcess({tool.string()}, options);
        if (!error && run.exited && run.status == 2) {
            return folder;
        }
        why += base.string() + ": nobody cannot run the tool there (status " +
               std::to_string(run.status) + "); ";
        std::filesystem::remove_all(folder, error);
    }
    return {};
}

TEST_F(WriteFaults, AReadOnlyFolderKeepsTheEarlierOutput) {
    // Root writes wherever it likes, so as root the tool runs as nobody.
    if (::geteuid() == 0 && !NobodyIds()) {
        GTEST_SKIP() << "running as root, and there is no user nobody to run the tool as";
    }
    std::string why;
    const std::filesystem::path open = FolderNobodyCanUse(why);
    if (open.empty()) {
        GTEST_SKIP() << "no folder where nobody can run a copy of morvane-cli: " << why;
    }
    // Everything the tool reads is copied beside it; only the output folder
    // is closed.
    const auto state = open / "GOLDENEYE.pj";
    const auto picture = open / "b.bmp";
    const auto temporary = open / "tmp";
    const auto locked = open / "locked";
    const auto out = locked / "out.pj";
    std::filesystem::copy_file(m_state, state);
    std::filesystem::copy_file(m_pictureB, picture);
    std::filesystem::create_directory(temporary);
    std::filesystem::create_directory(locked);
    WriteAll(out, m_outputA);
    ::chmod(state.c_str(), 0644);
    ::chmod(picture.c_str(), 0644);
    ::chmod(temporary.c_str(), 01777);
    ::chmod(locked.c_str(), 0555);
    ProcessOptions options;
    options.dropRoot = true;
    options.environment.emplace_back("TMPDIR", temporary.string());
    const ProcessResult run =
        RunProcess({(open / "morvane-cli").string(), "replace", state.string(), "0",
                    picture.string(), "-o", out.string()},
                   options);
    ::chmod(locked.c_str(), 0755);
    const std::vector<uint8_t> after = ReadAll(out);
    const std::vector<std::string> strays = Strays(locked, {"out.pj"}, "out.pj");
    const int leftovers = Leftovers(locked, "out.pj");
    std::error_code ignored;
    std::filesystem::remove_all(open, ignored);
    ASSERT_TRUE(run.exited) << "ended by signal " << run.signal;
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, kCouldNotWrite + out.string() + ": Permission denied\n");
    EXPECT_TRUE(after == m_outputA);
    EXPECT_EQ(strays, std::vector<std::string>{});
    EXPECT_EQ(leftovers, 0);
}

TEST_F(WriteFaults, AFolderThatDoesNotExistIsNotMade) {
    const auto missing = m_dir / "missing";
    const ProcessResult run = Replace(m_pictureB, missing / "deeper" / "out.pj");
    ASSERT_TRUE(run.exited) << "ended by signal " << run.signal;
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, kCouldNotWrite + (missing / "deeper" / "out.pj").string() +
                           ": No such file or directory\n");
    EXPECT_FALSE(std::filesystem::exists(missing));
}

TEST_F(WriteFaults, AnOutputThatIsNotAFileIsRefusedBeforeTheStateIsRead) {
    // The state does not exist: the output's refusal must come first.
    const auto missingState = m_dir / "missing.pj";
    const auto folder = m_dir / "out.pj";
    std::filesystem::create_directory(folder);
    WriteAll(folder / "inside", {1, 2, 3});
    const auto fifo = m_dir / "fifo.pj";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const auto link = m_dir / "link.pj";
    std::filesystem::create_symlink("fifo.pj", link);
    for (const auto& [out, kind] :
         {std::pair{folder, "a folder"}, std::pair{fifo, "a FIFO"}, std::pair{link, "a FIFO"}}) {
        SCOPED_TRACE(out.string());
        const ProcessResult run = RunCli(
            {"replace", missingState.string(), "0", m_pictureB.string(), "-o", out.string()});
        ASSERT_TRUE(run.exited) << "ended by signal " << run.signal;
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(run.err, kCouldNotWrite + out.string() + " is " + kind +
                               ", not a regular file: it is left as it is\n");
    }
    EXPECT_TRUE(std::filesystem::is_directory(folder));
    EXPECT_EQ(ReadAll(folder / "inside"), (std::vector<uint8_t>{1, 2, 3}));
    EXPECT_TRUE(std::filesystem::is_fifo(fifo));
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ(Leftovers(m_dir.path(), "out.pj"), 0);
    EXPECT_EQ(Leftovers(m_dir.path(), "fifo.pj"), 0);
}

TEST_F(WriteFaults, SignalsWhileWritingRemoveThePartialFile) {
    // In morvane-cli-held, MORVANE_TEST_HOLD_PARTIAL stops the write to that
    // path once its partial file is written, until a signal comes: each lands
    // while the file exists.
    const auto out = m_dir / "out.pj";
    WriteAll(out, m_outputA);
    const auto pictures = m_dir / "pictures";
    std::filesystem::create_directory(pictures);
    std::filesystem::copy_file(m_pictureB, pictures / "tex_000.bmp");
    const auto exported = m_dir / "exported";
    const std::string state = m_state.string();
    const struct {
        std::vector<std::string> arguments;
        int signal;
        std::filesystem::path held;  // the write that waits for the signal
        bool swapFolder = false;
    } runs[] = {
        {{"replace", state, "0", m_pictureB.string(), "-o", out.string()}, SIGINT, out},
        {{"replace", state, "0", m_pictureB.string(), "-o", out.string()}, SIGTERM, out},
        {{"replace", state, "0", m_pictureB.string(), "-o", out.string()}, SIGQUIT, out},
        {{"import", state, pictures.string(), "-o", out.string()}, SIGHUP, out},
        {{"export", state, exported.string()}, SIGTERM, exported / "tex_000.png"},
        // The folder swapped for a link while the file is written: the
        // partial file is removed from the folder it was made in.
        {{"export", state, exported.string()}, SIGHUP, exported / "tex_000.png", true},
    };
    for (const auto& run : runs) {
        SCOPED_TRACE(run.arguments[0] + ", signal " + std::to_string(run.signal));
        auto partialFiles = [&] {
            int count = 0;
            std::error_code error;
            for (std::filesystem::directory_iterator entry(run.held.parent_path(), error), end;
                 !error && entry != end; entry.increment(error)) {
                count += entry->path().filename().string().find(".morvane-partial-") !=
                         std::string::npos;
            }
            return count;
        };
        ProcessOptions options;
        options.environment = {{"TMPDIR", m_temporary.string()},
                               {"MORVANE_TEST_HOLD_PARTIAL", run.held.string()}};
        const auto folder = run.held.parent_path();
        const auto swapped = m_dir / "swapped";
        options.killWhen = [&] {
            if (partialFiles() == 0) {
                return false;
            }
            if (run.swapFolder) {
                std::filesystem::rename(folder, swapped);
                std::filesystem::create_directory(m_dir / "elsewhere");
                std::filesystem::create_directory_symlink(m_dir / "elsewhere", folder);
            }
            return true;
        };
        options.killSignal = run.signal;
        options.deadline = std::chrono::seconds(60);
        std::vector<std::string> command = {MORVANE_HELD_CLI_PATH};
        command.insert(command.end(), run.arguments.begin(), run.arguments.end());
        const ProcessResult result = RunProcess(command, options);
        EXPECT_FALSE(result.exited) << "exited with " << result.status << ": " << result.err;
        EXPECT_EQ(result.signal, run.signal);
        EXPECT_EQ(partialFiles(), 0);
        if (run.swapFolder) {
            for (const auto& entry : std::filesystem::directory_iterator(swapped)) {
                EXPECT_EQ(entry.path().filename().string().find(".morvane-partial-"),
                          std::string::npos)
                    << entry.path();
            }
        }
        EXPECT_TRUE(ReadAll(out) == m_outputA);
    }
}

// Root replacing a user's earlier output gives it back to the user, with its
// mode: the user can still read and replace it.
TEST_F(WriteFaults, AReplacedFileKeepsItsOwnerGroupAndMode) {
    const auto nobody = NobodyIds();
    if (::geteuid() != 0 || !nobody) {
        GTEST_SKIP() << "only root can give a file to another user";
    }
    const auto out = m_dir / "out.pj";
    WriteAll(out, m_outputA);
    ASSERT_EQ(::chown(out.c_str(), nobody->first, nobody->second), 0);
    ASSERT_EQ(::chmod(out.c_str(), 0640), 0);
    const ProcessResult run = Replace(m_pictureB, out);
    ASSERT_EQ(run.status, 0) << run.err;
    struct stat info {};
    ASSERT_EQ(::stat(out.c_str(), &info), 0);
    EXPECT_EQ(info.st_uid, nobody->first);
    EXPECT_EQ(info.st_gid, nobody->second);
    EXPECT_EQ(info.st_mode & 07777, 0640u);
    EXPECT_TRUE(ReadAll(out) == m_outputB);
}

// A command's printed result that cannot be written is a failure.
TEST_F(WriteFaults, StandardOutputThatCannotBeWrittenFailsTheCommand) {
    if (!std::filesystem::exists("/dev/full")) {
        GTEST_SKIP() << "no /dev/full here";
    }
    const std::string state = m_state.string();
    const std::string exported = (m_dir / "exported").string();
    for (const std::string& command : {"info '" + state + "'", "list --json '" + state + "'",
                                       "export '" + state + "' '" + exported + "'"}) {
        SCOPED_TRACE(command);
        const ProcessResult run = RunProcess(
            {"/bin/sh", "-c", "'" + CliPath().string() + "' " + command + " >/dev/full"});
        ASSERT_TRUE(run.exited) << "ended by signal " << run.signal;
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(run.err,
                  "morvane-cli: could not write standard output: No space left on device\n");
    }
}

// Names that lead through a descriptor rather than to a file in a folder:
// standard input as the state leaves no folder for the default output (as
// root it would land in /dev), and the /proc name of a deleted output would
// make a new file named "NAME (deleted)".
TEST_F(WriteFaults, DescriptorNamesAreNoPlaceForAnOutput) {
    const std::string cli = "'" + CliPath().string() + "' ";
    const std::string picture = "'" + m_pictureB.string() + "'";
    ProcessResult run =
        RunProcess({"/bin/sh", "-c",
                    cli + "replace /dev/stdin 0 " + picture + " < '" + m_state.string() + "'"});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err,
              "/dev/stdin is not a file in a folder, where the new state would go beside "
              "it: name the output with -o OUT\n");
    EXPECT_FALSE(std::filesystem::exists("/dev/stdin_new.pj"));

    const auto deleted = m_dir / "deleted.pj";
    run =
        RunProcess({"/bin/sh", "-c",
                    "exec 3>'" + deleted.string() + "'; rm '" + deleted.string() + "'; " + cli +
                        "replace '" + m_state.string() + "' 0 " + picture + " -o /proc/self/fd/3"});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err,
              std::string(kCouldNotWrite) + "/proc/self/fd/3: No such file or directory\n");
    EXPECT_FALSE(std::filesystem::exists(deleted.string() + " (deleted)"));
}

// An edit saved while export writes the same name is kept: export puts its
// file in place only while the name is what it compared, even when the edit
// comes after export's last look at the name, just before its rename.
TEST_F(WriteFaults, AnEditSavedWhileExportWritesIsKept) {
    const auto exported = m_dir / "exported";
    std::filesystem::create_directory(exported);
    const auto picture = exported / "tex_000.png";
    const auto held = m_dir / "held";
    const std::vector<uint8_t> before = {'o', 'l', 'd'};
    const std::vector<uint8_t> edit = {'e', 'd', 'i', 't'};
    for (const char* hold : {"MORVANE_TEST_HOLD_PARTIAL", "MORVANE_TEST_HOLD_RENAME"}) {
        for (const bool existed : {true, false}) {
            SCOPED_TRACE(std::string(hold) +
                         (existed ? ", over an older file, with --force" : ", where there was none"));
            std::filesystem::remove(picture);
            std::filesystem::remove(held);
            if (existed) {
                WriteAll(picture, before);
            }
            ProcessOptions options;
            options.environment = {{hold, picture.string()}, {"MORVANE_TEST_HELD", held.string()}};
            options.killWhen = [&] {
                if (!std::filesystem::exists(held)) {
                    return false;
                }
                WriteAll(picture.string() + ".new", edit);
                std::filesystem::rename(picture.string() + ".new", picture);
                return true;
            };
            options.killSignal = SIGUSR1;  // lets the held write go on
            options.deadline = std::chrono::seconds(60);
            const ProcessResult run = RunProcess(
                {MORVANE_HELD_CLI_PATH, "export", m_state.string(), exported.string(), "--force"},
                options);
            ASSERT_TRUE(run.exited) << "ended by signal " << run.signal;
            EXPECT_EQ(run.status, 1);
            EXPECT_NE(run.err.find(picture.string() + ": changed while export ran"),
                      std::string::npos)
                << run.err;
            EXPECT_EQ(ReadAll(picture), edit);
            EXPECT_EQ(Leftovers(exported, "tex_000.png"), 0);
        }
    }
}

// A folder swapped for a link to another while the state is written into it
// gets nothing, and neither does the folder moved away: the path given no
// longer leads where the file went, so the write is taken back and said so,
// whether the swap came while the state was written or after the last look.
TEST_F(WriteFaults, AFolderSwappedWhileTheStateIsWrittenGetsNothing) {
    const auto swap = m_dir / "swap";
    const auto held = m_dir / "held";
    const std::vector<uint8_t> before = {'o', 'l', 'd'};
    for (const char* hold : {"MORVANE_TEST_HOLD_PARTIAL", "MORVANE_TEST_HOLD_RENAME"}) {
        for (const bool existed : {true, false}) {
            SCOPED_TRACE(std::string(hold) + (existed ? ", over an older file" : ", a new file"));
            std::filesystem::remove_all(swap);
            std::filesystem::remove(held);
            std::filesystem::create_directories(swap / "d");
            std::filesystem::create_directories(swap / "elsewhere");
            const auto out = swap / "d" / "out.pj";
            if (existed) {
                WriteAll(out, before);
            }
            ProcessOptions options;
            options.environment = {{hold, out.string()}, {"MORVANE_TEST_HELD", held.string()}};
            options.killWhen = [&] {
                if (!std::filesystem::exists(held)) {
                    return false;
                }
                std::filesystem::rename(swap / "d", swap / "moved");
                std::filesystem::create_directory_symlink("elsewhere", swap / "d");
                return true;
            };
            options.killSignal = SIGUSR1;  // lets the held write go on
            options.deadline = std::chrono::seconds(60);
            options.environment.emplace_back("TMPDIR", m_temporary.string());
            const ProcessResult run =
                RunProcess({MORVANE_HELD_CLI_PATH, "replace", m_state.string(), "0",
                            m_pictureA.string(), "-o", out.string()},
                           options);
            ASSERT_TRUE(run.exited) << "ended by signal " << run.signal;
            EXPECT_EQ(run.status, 1);
            EXPECT_EQ(run.err, out.string() +
                                   ": The output's folder was moved or replaced while it was "
                                   "written; it was not put in place\n");
            EXPECT_EQ(run.out, "");
            EXPECT_TRUE(std::filesystem::is_empty(swap / "elsewhere"));
            std::vector<std::string> moved;
            for (const auto& entry : std::filesystem::directory_iterator(swap / "moved")) {
                moved.push_back(entry.path().filename().string());
            }
            EXPECT_EQ(moved, existed ? std::vector<std::string>{"out.pj"} : std::vector<std::string>{});
            if (existed) {
                EXPECT_EQ(ReadAll(swap / "moved" / "out.pj"), before);
            }
        }
    }
}

// A link left at the default output's name, even one that leads nowhere,
// chooses nothing: it is refused, and --force replaces the link itself.
TEST_F(WriteFaults, ALinkAtTheDefaultOutputIsNeverWrittenThrough) {
    const auto elsewhere = m_dir / "elsewhere";
    std::filesystem::create_directory(elsewhere);
    const auto planted = elsewhere / "planted.pj";
    const auto output = m_dir / "GOLDENEYE_new.pj";
    std::filesystem::create_symlink(planted, output);
    ProcessResult run = RunCli({"replace", m_state.string(), "0", m_pictureA.string()});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err.rfind(output.string() + " already exists, as a symbolic link", 0), 0u)
        << run.err;
    EXPECT_TRUE(std::filesystem::is_symlink(output));
    EXPECT_FALSE(std::filesystem::exists(planted));

    run = RunCli({"replace", m_state.string(), "0", m_pictureA.string(), "--force"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_FALSE(std::filesystem::is_symlink(output));
    EXPECT_EQ(ReadAll(output), m_outputA);
    EXPECT_FALSE(std::filesystem::exists(planted));
}

// --force replaces an edited bitmap export whole, its texture file too: the
// texture file kept aside while the pair is put in place is no edit.
TEST_F(WriteFaults, AForcedBitmapExportReplacesAnEditedPair) {
    const auto exported = m_dir / "exported";
    ProcessResult run = RunCli({"export", m_state.string(), exported.string(), "--format", "bmp"});
    ASSERT_EQ(run.status, 0) << run.err;
    const auto bitmap = exported / "tex_000.bmp";
    const std::vector<uint8_t> original = ReadAll(bitmap);
    std::vector<uint8_t> edited = original;
    edited[100] ^= 0xFF;
    WriteAll(bitmap, edited);
    run = RunCli({"export", m_state.string(), exported.string(), "--format", "bmp"});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "");
    run = RunCli({"export", m_state.string(), exported.string(), "--format", "bmp", "--force"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(ReadAll(bitmap), original);
}

// Memory that runs short is said so, by every command and every kind of
// state, never answered by an abort.
TEST_F(WriteFaults, MemoryRunningShortIsRefusedWithAMessage) {
#ifdef MORVANE_SANITIZE
    GTEST_SKIP() << "the sanitizers map far more memory than the limit allows";
#else
    const std::string expected =
        "Memory ran out: there is not enough free memory to read or write this save state\n";
    for (const gen::Container container :
         {gen::Container::Plain, gen::Container::Gzip, gen::Container::Rzip1,
          gen::Container::Rzip2}) {
        gen::StateOptions options;
        options.layout = gen::Layout::Mupen64Plus;
        options.container = container;
        const auto state = m_dir / "short.st0";
        WriteAll(state, gen::GenerateSaveState(options).file);
        const auto out = m_dir / "short-out.st0";
        for (const std::vector<std::string>& command :
             {std::vector<std::string>{"info", state.string()}, {"list", state.string()},
              {"replace", state.string(), "0", m_pictureA.string(), "-o", out.string()},
              {"export", state.string(), (m_dir / "short-faces").string()}}) {
            SCOPED_TRACE(command[0] + " of container " + std::to_string(static_cast<int>(container)));
            ProcessOptions limited;
            limited.memoryLimit = 40u << 20;
            const ProcessResult run = RunCli(command, limited);
            ASSERT_TRUE(run.exited) << "ended by signal " << run.signal;
            EXPECT_EQ(run.status, 1);
            EXPECT_EQ(run.err, state.string() + ": " + expected);
            EXPECT_FALSE(std::filesystem::exists(out));
        }
    }
#endif
}

TEST_F(WriteFaults, KillsAtRandomMomentsLeaveTheOldOrTheNewOutputWhole) {
    // At least 200 replacements, and more on a machine so busy that too few
    // kills landed while the tool wrote.
    constexpr int kReplacements = 200;
    constexpr int kMostReplacements = 600;
    const auto out = m_dir / "out.pj";
    WriteAll(out, m_outputA);
    std::vector<uint8_t> current = m_outputA;
    // Even replacements are killed at a moment anywhere in a run, as long as
    // the runs that finish take; odd ones once their temporary output file
    // has appeared, somewhere in the write, the flush or the rename.
    std::mt19937 random(20240101);
    std::uniform_real_distribution<double> share(0.0, 1.1);
    double runTime = static_cast<double>(m_runTime.count());
    double writeTime = static_cast<double>(TimeFromTemporaryFileToExit(out).count());

    int killed = 0;
    int killedWriting = 0;
    int completed = 0;
    int becameNew = 0;
    int replacements = 0;
    for (int i = 0; i < kMostReplacements; ++i) {
        if (i >= kReplacements && killed >= kReplacements / 4 &&
            killedWriting >= kReplacements / 8) {
            break;
        }
        ++replacements;
        const bool b = i % 2 == 0;
        const std::vector<uint8_t>& fresh = b ? m_outputB : m_outputA;
        ProcessOptions options;
        // Earlier kills may have left partial files; a new one means writing.
        const int before = Leftovers(m_dir.path(), "out.pj");
        bool writing = false;
        std::chrono::steady_clock::time_point seen;
        const auto delay =
            std::chrono::microseconds(static_cast<int64_t>(share(random) * writeTime));
        if (i % 2 == 0) {
            options.killAfter =
                std::chrono::microseconds(static_cast<int64_t>(share(random) * runTime));
        } else {
            options.killWhen = [&] {
                if (!writing) {
                    writing = Leftovers(m_dir.path(), "out.pj") > before;
                    seen = std::chrono::steady_clock::now();
                }
                return writing && std::chrono::steady_clock::now() - seen >= delay;
            };
        }
        const ProcessResult result = Replace(b ? m_pictureB : m_pictureA, out, options);
        if (!result.exited) {
            ASSERT_EQ(result.signal, SIGKILL) << "replacement " << i;
            ++killed;
            killedWriting += writing;
        } else {
            ASSERT_EQ(result.status, 0) << "replacement " << i << ": " << result.err;
            ++completed;
            // Follow the machine's speed, which other work changes.
            runTime = 0.8 * runTime + 0.2 * static_cast<double>(result.duration.count());
        }
        const std::vector<uint8_t> now = ReadAll(out);
        ASSERT_TRUE(now == current || now == fresh)
            << "replacement " << i << " left " << now.size() << " bytes that are neither file";
        becameNew += now != current;
        current = now;
        ASSERT_EQ(
            Strays(m_dir.path(), {"GOLDENEYE.pj", "a.bmp", "b.bmp", "tmp", "out.pj"}, "out.pj"),
            std::vector<std::string>{});
    }
    const int leftovers = Leftovers(m_dir.path(), "out.pj");
    std::cout << replacements << " replacements: " << killed << " killed (" << killedWriting
              << " after its temporary output appeared), " << completed << " completed, "
              << becameNew << " changed the output, " << leftovers << " partial files left\n";
    RecordProperty("killed", killed);
    RecordProperty("killed_while_writing", killedWriting);
    // Kills must have landed while the tool ran, and while it wrote, or the
    // test has not tried what it says.
    EXPECT_GE(killed, kReplacements / 4);
    EXPECT_GE(killedWriting, kReplacements / 8);

    // The leftovers are plainly named and harmless: the next run goes through.
    const ProcessResult last = Replace(m_pictureB, out);
    EXPECT_EQ(last.status, 0) << last.err;
    EXPECT_TRUE(ReadAll(out) == m_outputB);
}

}  // namespace
}  // namespace morvane::test
