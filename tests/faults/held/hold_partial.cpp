// Linked into morvane-cli-held, a copy of morvane-cli for the signal and race
// tests only: the write to the path named by MORVANE_TEST_HOLD_PARTIAL stops
// once its partial file is written, and the write to the path named by
// MORVANE_TEST_HOLD_RENAME once it has last looked at what stands at the path,
// just before it puts its file there; either waits until a signal comes, and
// first makes the file named by MORVANE_TEST_HELD, when set, to say it holds.
// A signal that ends the process lands while the partial file exists; SIGUSR1
// lets the write go on, after the test has changed what stands at the path or
// its folder. The shipped programs do not hold this.

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

namespace {

volatile sig_atomic_t g_resume = 0;

extern "C" void Resume(int) {
    g_resume = 1;
}

// From the start, so that a SIGUSR1 sent as soon as the hold is seen finds
// the handler there.
const bool g_installed = [] {
    struct sigaction action {};
    action.sa_handler = Resume;
    sigemptyset(&action.sa_mask);
    return ::sigaction(SIGUSR1, &action, nullptr) == 0;
}();

void HoldIfNamed(const char* variable, const char* target) {
    const char* hold = std::getenv(variable);
    if (!g_installed || hold == nullptr || std::strcmp(hold, target) != 0) {
        return;
    }
    if (const char* mark = std::getenv("MORVANE_TEST_HELD"); mark != nullptr) {
        const int fd = ::open(mark, O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
        if (fd >= 0) {
            ::close(fd);
        }
    }
    while (g_resume == 0) {
        ::pause();
    }
}

}  // namespace

extern "C" void MorvaneTestPartialFileWritten(const char* target) {
    HoldIfNamed("MORVANE_TEST_HOLD_PARTIAL", target);
}

extern "C" void MorvaneTestRenaming(const char* target) {
    HoldIfNamed("MORVANE_TEST_HOLD_RENAME", target);
}
