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

// A few at once is plenty: the tool writes a pair of files at most, the
// window an export and a save.
constexpr int kSlots = 8;

enum SlotState : int {
    kFree = 0,
    kPrepared = 1,  // taken; the name is being filled in or the file made
    kArmed = 2,     // the file exists: a signal removes it
};

struct Slot {
    std::atomic<int> state{kFree};
    int directory = -1;
    char name[NAME_MAX + 1];
};

static_assert(std::atomic<int>::is_always_lock_free, "the signal handler reads these");

// The one mutable global of the core; see partial_files.h for why.
Slot g_slots[kSlots];

constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};

sigset_t HandledSignals() {
    sigset_t set;
    sigemptyset(&set);
    for (const int signal : kSignals) {
        sigaddset(&set, signal);
    }
    return set;
}

extern "C" void RemovePartialFilesAndDie(int signal) {
    const int savedErrno = errno;
    for (Slot& slot : g_slots) {
        if (slot.state.load(std::memory_order_acquire) == kArmed) {
            ::unlinkat(slot.directory, slot.name, 0);
        }
    }
    errno = savedErrno;
    // SA_RESETHAND put the default action back: this ends the process by the
    // same signal, as the one who sent it expects.
    ::raise(signal);
}

}  // namespace

void InstallPartialFileCleanup() {
    ::signal(SIGXFSZ, SIG_IGN);
    for (const int signal : kSignals) {
        struct sigaction old {};
        if (::sigaction(signal, nullptr, &old) != 0 || old.sa_handler == SIG_IGN ||
            old.sa_handler == RemovePartialFilesAndDie) {
            continue;
        }
        struct sigaction action {};
        action.sa_handler = RemovePartialFilesAndDie;
        action.sa_mask = HandledSignals();
        action.sa_flags = SA_RESETHAND;
        ::sigaction(signal, &action, nullptr);
    }
}

bool PartialFileEntry::Prepare(int directory, const char* name) {
    const size_t length = std::strlen(name);
    if (length > NAME_MAX) {
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
    slot.directory = directory;
    std::memcpy(slot.name, name, length + 1);
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

int CreatePartialFile(int directory, const char* name, PartialFileEntry& entry) {
    const bool tracked = entry.Prepare(directory, name);
    const DeferredSignals deferred;
    const int fd = ::openat(directory, name, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    const int openErrno = errno;
    if (fd >= 0 && tracked) {
        entry.Arm();
    }
    if (fd < 0) {
        entry.Release();
        errno = openErrno;
    }
    return fd;
}

DeferredSignals::DeferredSignals() {
    const sigset_t handled = HandledSignals();
    ::pthread_sigmask(SIG_BLOCK, &handled, &m_previous);
}

DeferredSignals::~DeferredSignals() {
    const int savedErrno = errno;
    ::pthread_sigmask(SIG_SETMASK, &m_previous, nullptr);
    errno = savedErrno;
}

}  // namespace morvane
