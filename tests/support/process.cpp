#include "support/process.h"

#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <pwd.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <stdexcept>

namespace morvane::test {
namespace {

using Clock = std::chrono::steady_clock;

// Everything the child does between fork and exec; only async-signal-safe
// calls, and it never returns.
[[noreturn]] void StartChild(const std::vector<char*>& argv, int outFd, int errFd,
                             const ProcessOptions& options,
                             std::optional<std::pair<uint32_t, uint32_t>> nobody) {
    const int null = ::open("/dev/null", O_RDONLY);
    if (null < 0 || ::dup2(null, 0) < 0 || ::dup2(outFd, 1) < 0 || ::dup2(errFd, 2) < 0) {
        ::_exit(125);
    }
    // A shell starts background jobs with SIGINT ignored, and the child
    // would inherit that.
    for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGXFSZ}) {
        ::signal(signal, SIG_DFL);
    }
    // SIGXFSZ keeps its default, which ends the process: the tool itself must
    // set it aside to report a write past the limit.
    if (options.fileSizeLimit) {
        const rlimit limit{*options.fileSizeLimit, *options.fileSizeLimit};
        if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) {
            ::_exit(125);
        }
    }
    if (options.memoryLimit) {
        const rlimit limit{*options.memoryLimit, *options.memoryLimit};
        if (::setrlimit(RLIMIT_AS, &limit) != 0) {
            ::_exit(125);
        }
    }
    if (nobody) {
        if (::setgroups(0, nullptr) != 0 || ::setgid(nobody->second) != 0 ||
            ::setuid(nobody->first) != 0) {
            ::_exit(125);
        }
    }
    if (!options.workingDirectory.empty() && ::chdir(options.workingDirectory.c_str()) != 0) {
        ::_exit(125);
    }
    ::execv(argv[0], argv.data());
    ::_exit(127);
}

void ReadInto(int fd, std::string& into, bool& open) {
    char buffer[4096];
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n > 0) {
        into.append(buffer, static_cast<size_t>(n));
    } else if (n == 0 || errno != EINTR) {
        open = false;
    }
}

}  // namespace

ProcessResult RunProcess(const std::vector<std::string>& arguments, const ProcessOptions& options) {
    if (arguments.empty()) {
        throw std::invalid_argument("no program");
    }
    std::vector<char*> argv;
    for (const std::string& argument : arguments) {
        argv.push_back(const_cast<char*>(argument.c_str()));
    }
    argv.push_back(nullptr);
    const auto nobody = options.dropRoot && ::geteuid() == 0 ? NobodyIds() : std::nullopt;

    int outPipe[2];
    int errPipe[2];
    if (::pipe2(outPipe, O_CLOEXEC) != 0 || ::pipe2(errPipe, O_CLOEXEC) != 0) {
        throw std::runtime_error("pipe failed");
    }
    // The environment is changed in the parent around the fork: setenv is not
    // safe in the child of a threaded program.
    std::vector<std::pair<std::string, std::optional<std::string>>> saved;
    for (const auto& [name, value] : options.environment) {
        const char* old = std::getenv(name.c_str());
        saved.emplace_back(name, old ? std::optional<std::string>(old) : std::nullopt);
        ::setenv(name.c_str(), value.c_str(), 1);
    }
    const Clock::time_point start = Clock::now();
    const pid_t pid = ::fork();
    if (pid == 0) {
        StartChild(argv, outPipe[1], errPipe[1], options, nobody);
    }
    for (const auto& [name, old] : saved) {
        old ? ::setenv(name.c_str(), old->c_str(), 1) : ::unsetenv(name.c_str());
    }
    ::close(outPipe[1]);
    ::close(errPipe[1]);
    if (pid < 0) {
        ::close(outPipe[0]);
        ::close(errPipe[0]);
        throw std::runtime_error("fork failed");
    }

    ProcessResult result;
    bool outOpen = true;
    bool errOpen = true;
    bool signalled = false;  // killSignal sent
    bool killed = false;     // SIGKILL sent
    const Clock::time_point deadline = start + options.deadline;
    while (outOpen || errOpen) {
        // Wait for output, or until the moment of the signal or the deadline.
        timespec wait{};
        timespec* timeout = nullptr;
        if (!killed) {
            const Clock::time_point now = Clock::now();
            if (!signalled && ((options.killAfter && now >= start + *options.killAfter) ||
                               (options.killWhen && options.killWhen()))) {
                ::kill(pid, options.killSignal);
                signalled = true;
                killed = options.killSignal == SIGKILL;
            }
            if (!killed && now >= deadline) {
                ::kill(pid, SIGKILL);
                killed = true;
            }
        }
        if (!killed) {
            Clock::time_point until = deadline;
            if (!signalled && options.killAfter) {
                until = std::min(until, start + *options.killAfter);
            }
            auto left = std::max(
                std::chrono::nanoseconds(0),
                std::chrono::duration_cast<std::chrono::nanoseconds>(until - Clock::now()));
            if (!signalled && options.killWhen) {
                left = std::min<std::chrono::nanoseconds>(left, std::chrono::microseconds(100));
            }
            wait.tv_sec = static_cast<time_t>(left.count() / 1000000000);
            wait.tv_nsec = static_cast<long>(left.count() % 1000000000);
            timeout = &wait;
        }
        pollfd fds[2] = {{outOpen ? outPipe[0] : -1, POLLIN, 0},
                         {errOpen ? errPipe[0] : -1, POLLIN, 0}};
        if (::ppoll(fds, 2, timeout, nullptr) < 0 && errno != EINTR) {
            break;
        }
        if (fds[0].revents != 0) {
            ReadInto(outPipe[0], result.out, outOpen);
        }
        if (fds[1].revents != 0) {
            ReadInto(errPipe[0], result.err, errOpen);
        }
    }
    ::close(outPipe[0]);
    ::close(errPipe[0]);
    int status = 0;
    rusage usage{};
    while (::wait4(pid, &status, 0, &usage) < 0 && errno == EINTR) {
    }
    result.peakMemoryKiB = usage.ru_maxrss;
    result.duration = std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - start);
    if (WIFEXITED(status)) {
        result.exited = true;
        result.status = WEXITSTATUS(status);
    } else if (WIFSIGNALED(status)) {
        result.signal = WTERMSIG(status);
    }
    return result;
}

std::filesystem::path CliPath() {
    return MORVANE_CLI_PATH;
}

ProcessResult RunCli(const std::vector<std::string>& arguments, const ProcessOptions& options) {
    std::vector<std::string> all{CliPath().string()};
    all.insert(all.end(), arguments.begin(), arguments.end());
    return RunProcess(all, options);
}

std::optional<std::pair<uint32_t, uint32_t>> NobodyIds() {
    const passwd* user = ::getpwnam("nobody");
    if (user == nullptr) {
        return std::nullopt;
    }
    return std::make_pair(static_cast<uint32_t>(user->pw_uid), static_cast<uint32_t>(user->pw_gid));
}

std::filesystem::path FindProgram(const std::string& name) {
    const char* path = std::getenv("PATH");
    const std::string folders = path ? path : "/usr/bin:/bin";
    size_t start = 0;
    for (;;) {
        const size_t end = folders.find(':', start);
        const std::string folder =
            folders.substr(start, end == std::string::npos ? std::string::npos : end - start);
        const std::filesystem::path candidate = std::filesystem::path(folder) / name;
        if (!folder.empty() && ::access(candidate.c_str(), X_OK) == 0) {
            return candidate;
        }
        if (end == std::string::npos) {
            return {};
        }
        start = end + 1;
    }
}

}  // namespace morvane::test
