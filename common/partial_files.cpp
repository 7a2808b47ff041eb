#include "common/partial_files.h"

#include <fcntl.h>
#include <limits.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>

namespace morvane {
namespace {

// A few at once is plenty: the tool writes one file at a time, the window an
// export and a save at most.
constexpr int kSlots = 8;

enum SlotState : int {
    kFree = 0,
    kPrepared = 1,  // taken; the path is being filled in or the file made
    kArmed = 2,     // the file exists: a signal removes it
};

struct Slot {
    std::atomic<int> state{kFree};
    char path[PATH_MAX];
};

static_assert(std::atomic<int>::is_always_lock_free, "the signal handler reads these");

// The one mutable global of the core; see partial_files.h for why.
Slot g_slots[kSlots];

constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};

extern "C" void RemovePartialFilesAndDie(int signal) {
    const int savedErrno = errno;
    for (Slot& slot : g_slots) {
        if (slot.state.load(std::memory_order_acquire) == kArmed) {
            ::unlink(slot.path);
        }
    }
    errno = savedErrno;
    // SA_RESETHAND put the default action back: this ends the process by the
    // same signal, as the one who sent it expects.
    ::raise(signal);
}

}  // namespace

void InstallPartialFileCleanup() {
    for (const int signal : kSignals) {
        struct sigaction old {};
        if (::sigaction(signal, nullptr, &old) != 0 || old.sa_handler == SIG_IGN ||
            old.sa_handler == RemovePartialFilesAndDie) {
            continue;
        }
        struct sigaction action {};
        action.sa_handler = RemovePartialFilesAndDie;
        sigemptyset(&action.sa_mask);
        for (const int other : kSignals) {
            sigaddset(&action.sa_mask, other);
        }
        action.sa_flags = SA_RESETHAND;
        ::sigaction(signal, &action, nullptr);
    }
}

bool PartialFileEntry::Prepare(const char* path) {
    const size_t length = std::strlen(path);
    if (length >= PATH_MAX) {
        Release();
        return false;
    }
    if (m_slot < 0) {
        for (int k = 0; k < kSlots; ++k) {
            int expected = kFree;
            if (g_slots[k].state.compare_exchange_strong(expected, kPrepared,
                                                         std::memory_order_acq_rel)) {
                m_slot = k;
                break;
            }
        }
        if (m_slot < 0) {
            return false;
        }
    }
    Slot& slot = g_slots[m_slot];
    slot.state.store(kPrepared, std::memory_order_release);
    std::memcpy(slot.path, path, length + 1);
    return true;
}

void PartialFileEntry::Arm() {
    if (m_slot >= 0) {
        g_slots[m_slot].state.store(kArmed, std::memory_order_release);
    }
}

void PartialFileEntry::Release() {
    if (m_slot >= 0) {
        g_slots[m_slot].state.store(kFree, std::memory_order_release);
        m_slot = -1;
    }
}

int CreatePartialFile(const char* path, PartialFileEntry& entry) {
    const bool tracked = entry.Prepare(path);
    sigset_t blocked;
    sigset_t previous;
    sigemptyset(&blocked);
    for (const int signal : kSignals) {
        sigaddset(&blocked, signal);
    }
    ::pthread_sigmask(SIG_BLOCK, &blocked, &previous);
    const int fd = ::open(path, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    const int openErrno = errno;
    if (fd >= 0 && tracked) {
        entry.Arm();
    }
    ::pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    if (fd < 0) {
        entry.Release();
        errno = openErrno;
    }
    return fd;
}

}  // namespace morvane
