// Linked into morvane-cli-held, a copy of morvane-cli for the signal and race
// tests only: the write to the path named by MORVANE_TEST_HOLD_PARTIAL stops
// once its partial file is written, until a signal comes. A signal that ends
// the process lands while the partial file exists; SIGUSR1 lets the write go
// on, after the test has changed what stands at the path. The shipped
// programs do not hold this.

#include <signal.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

namespace {

volatile sig_atomic_t g_resume = 0;

extern "C" void Resume(int) {
    g_resume = 1;
}

// From the start, so that a SIGUSR1 sent as soon as the partial file appears
// finds the handler there.
const bool g_installed = [] {
    struct sigaction action {};
    action.sa_handler = Resume;
    sigemptyset(&action.sa_mask);
    return ::sigaction(SIGUSR1, &action, nullptr) == 0;
}();

}  // namespace

extern "C" void MorvaneTestPartialFileWritten(const char* target) {
    const char* hold = std::getenv("MORVANE_TEST_HOLD_PARTIAL");
    if (!g_installed || hold == nullptr || std::strcmp(hold, target) != 0) {
        return;
    }
    while (g_resume == 0) {
        ::pause();
    }
}
