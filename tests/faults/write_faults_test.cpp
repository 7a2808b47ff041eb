// Real write failures and kills, no mocks: the built morvane-cli replaces a
// face while the system refuses its write part way, while its folder refuses
// new files, into a folder that does not exist, and while it is killed at
// random moments. The earlier output must survive each of them whole.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
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
        EXPECT_EQ(run.err, kCouldNotWrite);
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

TEST_F(WriteFaults, AReadOnlyFolderKeepsTheEarlierOutput) {
    // Root writes wherever it likes, so as root the tool runs as nobody.
    if (::geteuid() == 0 && !NobodyIds()) {
        GTEST_SKIP() << "running as root, and there is no user nobody to run the tool as";
    }
    const auto locked = m_dir / "locked";
    const auto out = locked / "out.pj";
    std::filesystem::create_directory(locked);
    WriteAll(out, m_outputA);
    // Everything the tool reads must be readable by nobody; only the output
    // folder is closed.
    ::chmod(m_dir.path().c_str(), 0755);
    ::chmod(m_temporary.c_str(), 01777);
    ::chmod(locked.c_str(), 0555);
    ProcessOptions options;
    options.dropRoot = true;
    const ProcessResult run = Replace(m_pictureB, out, options);
    ::chmod(locked.c_str(), 0755);
    ASSERT_TRUE(run.exited) << "ended by signal " << run.signal;
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, kCouldNotWrite);
    EXPECT_TRUE(ReadAll(out) == m_outputA);
    EXPECT_EQ(Strays(locked, {"out.pj"}, "out.pj"), std::vector<std::string>{});
    EXPECT_EQ(Leftovers(locked, "out.pj"), 0);
}

TEST_F(WriteFaults, AFolderThatDoesNotExistIsNotMade) {
    const auto missing = m_dir / "missing";
    const ProcessResult run = Replace(m_pictureB, missing / "deeper" / "out.pj");
    ASSERT_TRUE(run.exited) << "ended by signal " << run.signal;
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, kCouldNotWrite);
    EXPECT_FALSE(std::filesystem::exists(missing));
}

TEST_F(WriteFaults, AFolderInTheOutputsPlaceIsLeftAlone) {
    const auto folder = m_dir / "out.pj";
    std::filesystem::create_directory(folder);
    WriteAll(folder / "inside", {1, 2, 3});
    const ProcessResult run = Replace(m_pictureB, folder);
    ASSERT_TRUE(run.exited) << "ended by signal " << run.signal;
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, kCouldNotWrite);
    EXPECT_TRUE(std::filesystem::is_directory(folder));
    EXPECT_EQ(ReadAll(folder / "inside"), (std::vector<uint8_t>{1, 2, 3}));
    EXPECT_EQ(Leftovers(m_dir.path(), "out.pj"), 0);
}

TEST_F(WriteFaults, KillsAtRandomMomentsLeaveTheOldOrTheNewOutputWhole) {
    constexpr int kReplacements = 200;
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
    for (int i = 0; i < kReplacements; ++i) {
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
    std::cout << kReplacements << " replacements: " << killed << " killed (" << killedWriting
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
