#pragma once
// Whole-file reads and atomic whole-file writes.
//
// A write goes to a temporary file beside the target, is flushed to disk and
// is then renamed over the target, so that a crash or a full disk leaves
// either the old file or the new one, never a mixture. Where the file system
// can exchange two names, the new file is exchanged with the old one, which
// is looked at once more under the temporary name and removed only while the
// folder is still the one the path names (and the old file still the one a
// caller compared); otherwise the two are exchanged back. Temporary files are
// named ".<target name>.morvane-partial-XXXXXX" so that a leftover from a
// killed process is plainly what it is; the signals that end a process remove
// them (see partial_files.h). The partial file is made, renamed and removed
// through a descriptor of the target's folder, so that a folder swapped for a
// link meanwhile changes nothing elsewhere.
//
// The target is what the path names once every symbolic link is followed:
// a write through a link replaces the file the link points to (creating it
// when the link dangles) and leaves the link as it is, as editors do. Writes
// into a folder of the tool's own making (export's) follow no link at all.
// Only a regular file is ever replaced: a folder, FIFO, device or socket in
// the target's place is refused and left alone. A replaced file keeps its
// owner and group where the writer may set them, and its mode.

#include <sys/types.h>
#include <time.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <initializer_list>
#include <span>
#include <string>
#include <vector>

#include "common/error.h"
#include "common/partial_files.h"

namespace morvane {

// The largest file the tool reads whole. Save states are a few MiB; pictures
// are far smaller.
inline constexpr uintmax_t kMaxInputFileSize = 256u * 1024 * 1024;

// Reads the whole file. CouldNotOpenFile when it cannot be opened or read,
// FileTooLarge when it is larger than maxSize.
Error ReadFileBytes(const std::filesystem::path& path, std::vector<uint8_t>& bytes,
                    uintmax_t maxSize = kMaxInputFileSize);

enum class Durability {
    Flush,    // on disk before the rename: for save states
    NoFlush,  // still all-or-nothing, but left to the page cache: for exports
};

enum class Links {
    Follow,   // a link at the path is followed to the file it names
    Refuse,   // a link at the path is refused like any other non-file
    Replace,  // a link at the path is itself replaced by the new file
};

// Why a file cannot be written at an output path, found without writing.
enum class OutputRefusal : uint8_t {
    None,
    NotARegularFile,  // something other than a regular file is there; `fileType` says what
    CannotResolve,    // the path cannot be looked at; `error` says why (ELOOP for a link loop,
                      // ENOENT for a name in /proc of a file that has been deleted)
};

struct OutputCheck {
    OutputRefusal refusal = OutputRefusal::None;
    int error = 0;        // an errno value, when the system gave one (EISDIR for a folder)
    mode_t fileType = 0;  // the S_IFMT bits of what is there, for NotARegularFile
    bool ok() const { return refusal == OutputRefusal::None; }
};

// What a write to `path` would be refused for before it starts: cheap, for
// front ends to check an output before they read anything else. A missing
// file or folder, or a folder that takes no new files, is left for the write
// itself to find.
OutputCheck CheckOutputPath(const std::filesystem::path& path);

// Writes the pieces, in order, as the whole content of `path` (its target,
// through any symbolic links), atomically. A new file is made with mode 0666
// narrowed by the umask; a replaced file keeps its mode, without setuid and
// setgid. Returns false when any step fails, or when CheckOutputPath refuses
// the path; the file at `path`, if any, is then untouched and no temporary
// file is left behind. A folder swapped for another while the file was
// written gets nothing, and errno is ESTALE.
bool WriteFileAtomically(const std::filesystem::path& path,
                         std::initializer_list<std::span<const uint8_t>> pieces,
                         Durability durability = Durability::Flush, Links links = Links::Follow);

// Writes the content of a new file to `fd`, an empty file open for writing,
// in order or with seeks back (pwrite). False when anything failed, with
// errno the system's reason where it gave one.
using FileWriter = std::function<bool(int fd)>;

// The same, for content that is made while it is written.
bool WriteFileAtomically(const std::filesystem::path& path, const FileWriter& write,
                         Durability durability = Durability::Flush, Links links = Links::Follow);

// What stood at a path when it was looked at, link or file, so that a write
// can tell whether it changed since.
struct FileSnapshot {
    bool exists = false;
    dev_t device = 0;
    ino_t inode = 0;
    mode_t mode = 0;
    off_t size = 0;
    timespec modified{};
    timespec changed{};
};
bool operator==(const FileSnapshot& a, const FileSnapshot& b);

// The path itself, not what a link at it points to.
FileSnapshot SnapshotOf(const std::filesystem::path& path);

enum class CommitOutcome {
    Committed,
    Changed,      // the target is no longer what the snapshot saw: left as it is
    FolderMoved,  // the folder the path names is no longer the one written into
    Failed,
};

// The same write in two steps, for files that must appear together or not at
// all: Prepare writes the whole content to a partial file beside the target;
// Commit renames it over the target. A prepared file that is not committed is
// removed when the object goes away, so a caller prepares every file first and
// commits them only once all are prepared.
class AtomicFile {
public:
    AtomicFile() = default;
    ~AtomicFile();
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    bool Prepare(const std::filesystem::path& path,
                 std::initializer_list<std::span<const uint8_t>> pieces,
                 Durability durability = Durability::Flush, Links links = Links::Follow);
    bool Prepare(const std::filesystem::path& path, const FileWriter& write,
                 Durability durability = Durability::Flush, Links links = Links::Follow);
    // Committed, FolderMoved or Failed (errno says why). The folder is looked
    // at again once the file is in place, and the file taken out again if
    // the path no longer leads there.
    CommitOutcome Commit();
    // Renames only while the target is still what `expected` saw (nothing at
    // all included); otherwise removes the partial file and says Changed.
    // Where the file system can exchange two names, the old file is compared
    // again once exchanged, and put back if it changed at the last moment.
    CommitOutcome CommitIfUnchanged(const FileSnapshot& expected);
    // Removes the partial file, if any.
    void Abandon();

    // For a file committed with others: before Commit, keeps what stands at
    // the target (as a second name beside it), so that after Commit,
    // RestorePrevious can put it back, or remove the new file when there was
    // none. False when the old file cannot be kept. The kept name goes when
    // the object does.
    bool KeepPrevious();
    // The same, only while the target is still what `expected` saw: Changed
    // otherwise, with nothing kept. The second name changes the file's
    // status time (and link count), so `expected` becomes what stands at the
    // target once it is kept, for CommitIfUnchanged to compare against.
    CommitOutcome KeepPreviousIfUnchanged(FileSnapshot& expected);
    void RestorePrevious();

private:
    CommitOutcome Put(const FileSnapshot* expected);
    CommitOutcome Rename();
    CommitOutcome Done();
    CommitOutcome GiveUp(CommitOutcome outcome, int reason);
    bool FolderStillThere() const;
    bool Replaceable(mode_t mode) const;
    void DropKept();

    std::filesystem::path m_folder;  // the target's folder, as its path names it
    int m_directory = -1;            // the target's folder
    std::string m_name;    // the target's name in it
    std::string m_temporary;
    std::string m_kept;       // the old file's second name, while kept
    bool m_keptNone = false;  // KeepPrevious found nothing at the target
    bool m_committed = false;
    Durability m_durability = Durability::Flush;
    Links m_links = Links::Follow;
    PartialFileEntry m_entry;
};

// The prefix of every temporary file name that WriteFileAtomically uses for a
// target named `targetName`. A name too long to take the prefix and suffix
// within the file system's 255 bytes keeps its first bytes only.
std::string PartialFilePrefix(const std::string& targetName);

// Follows `path` through its chain of symbolic links, a link's target taken
// relative to the link's folder, to the first name that is no link (a file,
// or nothing). `chain` gets every name on the way, `path` first. 0, or the
// system's reason the chain cannot be followed (ELOOP past 40 links).
int FollowLinks(const std::filesystem::path& path, std::vector<std::filesystem::path>& chain);

// True when both paths name the same existing file (same device and inode).
bool SameFile(const std::filesystem::path& a, const std::filesystem::path& b);

}  // namespace morvane
