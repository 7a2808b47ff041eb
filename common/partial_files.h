#pragma once
// The partial files being written right now, so that SIGINT, SIGTERM or SIGHUP
// can remove them before the process ends.
//
// This is the core's one piece of mutable global state, on purpose: a signal
// handler can reach nothing but a static. It is kept to a fixed table of
// paths (no allocation, no lock) in partial_files.cpp, and the handler only
// unlinks the armed paths, restores the signal's default action and raises
// it again, all of which is async-signal-safe.

namespace morvane {

// Installs the handlers for SIGINT, SIGTERM and SIGHUP, except for a signal
// the process was started with ignored (as nohup does). A program calls it
// once, early in main; without it a signal leaves the partial file, as a
// SIGKILL or a crash always can.
void InstallPartialFileCleanup();

// One entry of the table, held for as long as one partial file exists. A
// write takes an entry, fills in the path before it creates the file, arms
// the entry once the file exists, and lets it go once the file is renamed or
// removed. When the table is full or the path too long, the write goes on
// without the cleanup.
class PartialFileEntry {
public:
    PartialFileEntry() = default;
    ~PartialFileEntry() { Release(); }
    PartialFileEntry(const PartialFileEntry&) = delete;
    PartialFileEntry& operator=(const PartialFileEntry&) = delete;

    // Takes a free entry, if it holds none yet, and stores `path` in it,
    // disarmed. False when no entry is free or the path does not fit.
    bool Prepare(const char* path);
    // The file exists from now on: a signal removes it.
    void Arm();
    // The file is gone or renamed: a signal leaves the path alone.
    void Release();

private:
    int m_slot = -1;
};

// Creates `path` exclusively (mode 0666, which the umask narrows), arming
// `entry` for it with the three signals blocked, so that no signal can come
// between the file's creation and its registration. Returns the descriptor,
// or -1 with errno set.
int CreatePartialFile(const char* path, PartialFileEntry& entry);

}  // namespace morvane
