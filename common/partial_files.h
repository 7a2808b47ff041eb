#pragma once
// The partial files being written right now, so that a signal that ends the
// process (SIGINT, SIGTERM, SIGHUP, SIGQUIT) can remove them first.
//
// This is the core's one piece of mutable global state, on purpose: a signal
// handler can reach nothing but a static. It is kept to a fixed table of
// names (no allocation, no lock) in partial_files.cpp, and the handler only
// unlinks the armed names, each in the folder it was made in (through the
// folder's descriptor, so that a folder swapped for a link meanwhile does not
// send the removal elsewhere), restores the signal's default action and
// raises it again, all of which is async-signal-safe.

#include <signal.h>

namespace morvane {

// Installs the handlers for the signals above, except for a signal the
// process was started with ignored (as nohup does), and ignores SIGXFSZ, so
// that a write past the file size limit fails with EFBIG and is reported
// instead of killing the process. A program calls it once, early in main;
// without it a signal leaves the partial file, as a SIGKILL or a crash always
// can.
void InstallPartialFileCleanup();

// One entry of the table, held for as long as one partial file exists. A
// write takes an entry, fills in the name before it creates the file, arms
// the entry once the file exists, and lets it go once the file is renamed or
// removed. When the table is full or the name too long, the write goes on
// without the cleanup.
class PartialFileEntry {
public:
    PartialFileEntry() = default;
    ~PartialFileEntry() { Release(); }
    PartialFileEntry(const PartialFileEntry&) = delete;
    PartialFileEntry& operator=(const PartialFileEntry&) = delete;

    // Takes a free entry, if it holds none yet, and stores `name` in the
    // folder `directory` (a descriptor) in it, disarmed. False when no entry
    // is free or the name does not fit.
    bool Prepare(int directory, const char* name);
    // The file exists from now on: a signal removes it.
    void Arm();
    // The file is gone or renamed: a signal leaves the name alone.
    void Release();

private:
    int m_slot = -1;
};

// Creates `name` in the folder `directory` exclusively (mode 0666, which the
// umask narrows), arming `entry` for it with the signals blocked, so that no
// signal can come between the file's creation and its registration. Returns
// the descriptor, or -1 with errno set.
int CreatePartialFile(int directory, const char* name, PartialFileEntry& entry);

// Holds back the signals above for as long as it lives: a step of two or more
// renames that must all happen, or none, runs inside one. A signal that came
// meanwhile is delivered when it goes away.
class DeferredSignals {
public:
    DeferredSignals();
    ~DeferredSignals();
    DeferredSignals(const DeferredSignals&) = delete;
    DeferredSignals& operator=(const DeferredSignals&) = delete;

private:
    sigset_t m_previous;
};

}  // namespace morvane
