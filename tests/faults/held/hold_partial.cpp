// Linked into morvane-cli-held, a copy of morvane-cli for the signal tests
// only: the write to the path named by MORVANE_TEST_HOLD_PARTIAL stops once
// its partial file is written, until a signal comes, so that each signal
// lands while the file exists. The shipped programs do not hold this.

#include <unistd.h>

#include <cstdlib>
#include <cstring>

extern "C" void MorvaneTestPartialFileWritten(const char* target) {
    const char* hold = std::getenv("MORVANE_TEST_HOLD_PARTIAL");
    if (hold != nullptr && std::strcmp(hold, target) == 0) {
        for (;;) {
            ::pause();
        }
    }
}
