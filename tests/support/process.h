#pragma once
// Runs a built program as a child process, so that a crash, a kill or a
// failed write happens to it and not to the test. Used to drive the real
// morvane-cli binary.

#include <chrono>
#include <csignal>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace morvane::test {

struct ProcessOptions {
    // RLIMIT_FSIZE for the child, with SIGXFSZ ignored, so that a write past
    // the limit fails with EFBIG instead of killing the process.
    std::optional<uint64_t> fileSizeLimit;
    // RLIMIT_AS for the child: how much memory it may map at all.
    std::optional<uint64_t> memoryLimit;
    // Run as the unprivileged user "nobody" when the test runs as root, so
    // that file permissions apply. Ignored when not root.
    bool dropRoot = false;
    // The child's working folder, when not empty.
    std::filesystem::path workingDirectory;
    // Set in the child's environment, over what the test has.
    std::vector<std::pair<std::string, std::string>> environment;
    // Sent `killSignal` once this long has passed, when set.
    std::optional<std::chrono::microseconds> killAfter;
    // Sent `killSignal` as soon as this returns true; asked every 100
    // microseconds while the child runs.
    std::function<bool()> killWhen;
    int killSignal = SIGKILL;
    // Sent SIGKILL after this long in any case, so that a hang fails the test
    // instead of stalling the suite.
    std::chrono::seconds deadline{300};
};

struct ProcessResult {
    bool exited = false;  // false: ended by a signal
    int status = -1;      // the exit status, when it exited
    int signal = 0;       // the signal that ended it, when it did not exit
    std::string out;
    std::string err;
    std::chrono::microseconds duration{};
    long peakMemoryKiB = 0;  // the child's largest resident set
};

// Runs `arguments` (arguments[0] is the program's path) to its end, standard
// input empty, both outputs captured, with SIGINT, SIGTERM and SIGHUP at
// their default actions whatever the test inherited.
ProcessResult RunProcess(const std::vector<std::string>& arguments,
                         const ProcessOptions& options = {});

// The built morvane-cli.
std::filesystem::path CliPath();

// Runs morvane-cli with `arguments`.
ProcessResult RunCli(const std::vector<std::string>& arguments, const ProcessOptions& options = {});

// The uid and gid of "nobody", or nothing when the system has none.
std::optional<std::pair<uint32_t, uint32_t>> NobodyIds();

// The path of the program `name` on the PATH, or an empty path.
std::filesystem::path FindProgram(const std::string& name);

}  // namespace morvane::test
