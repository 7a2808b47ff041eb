// The atomic write: a partial file beside the target, written whole, then
// put in its place (see file_io.h).

#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <string>

#include "common/file_checks.h"
#include "common/file_io.h"
#include "common/partial_files.h"

#ifdef __EMSCRIPTEN__
// The browser build compiles this file but never writes through it, and
// emscripten has no renameat2: the call fails as on a kernel without it, and
// CommitIfUnchanged then looks, then renames, and a write renames instead of
// exchanging.
#define RENAME_NOREPLACE 1
#define RENAME_EXCHANGE 2
static int renameat2(int, const char*, int, const char*, unsigned) {
    errno = ENOSYS;
    return -1;
}
#endif

namespace morvane {
namespace {

bool WriteAll(int fd, std::span<const uint8_t> bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        if (n == 0) {
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return true;
}

// Six letters or digits, different at each attempt and in each process.
std::string RandomSuffix(int attempt) {
    static constexpr char kLetters[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    uint8_t bytes[kPartialSuffixLength] = {};
#ifdef __EMSCRIPTEN__
    // emscripten declares getrandom but has none; getentropy is there.
    if (::getentropy(bytes, sizeof bytes) != 0) {
#else
    if (::getrandom(bytes, sizeof bytes, GRND_NONBLOCK) != static_cast<ssize_t>(sizeof bytes)) {
#endif
        timespec now{};
        ::clock_gettime(CLOCK_REALTIME, &now);
        uint64_t mix = static_cast<uint64_t>(now.tv_nsec) ^
                       (static_cast<uint64_t>(::getpid()) << 32) ^
                       (static_cast<uint64_t>(attempt) * 0x9E3779B97F4A7C15u);
        for (uint8_t& byte : bytes) {
            mix = mix * 6364136223846793005u + 1442695040888963407u;
            byte = static_cast<uint8_t>(mix >> 56);
        }
    }
    std::string suffix(kPartialSuffixLength, 'X');
    for (size_t k = 0; k < kPartialSuffixLength; ++k) {
        suffix[k] = kLetters[bytes[k] % (sizeof kLetters - 1)];
    }
    return suffix;
}

}  // namespace

// Tests that need a write held while its partial file exists, or between its
// last look at the target and the rename, define these; the programs never
// do, and the calls are then skipped.
extern "C" void MorvaneTestPartialFileWritten(const char* target) __attribute__((weak));
extern "C" void MorvaneTestRenaming(const char* target) __attribute__((weak));

AtomicFile::~AtomicFile() {
    Abandon();
    DropKept();
    if (m_directory >= 0) {
        ::close(m_directory);
    }
}

bool AtomicFile::Prepare(const std::filesystem::path& path,
                         std::initializer_list<std::span<const uint8_t>> pieces,
                         Durability durability, Links links) {
    return Prepare(
        path,
        [pieces](int fd) {
            for (const std::span<const uint8_t>& piece : pieces) {
                if (!WriteAll(fd, piece)) {
                    return false;
                }
            }
            return true;
        },
        durability, links);
}

bool AtomicFile::Prepare(const std::filesystem::path& path, const FileWriter& write,
                         Durability durability, Links links) {
    if (m_directory >= 0 || m_committed) {
        return false;
    }
    std::filesystem::path target = path;
    const OutputCheck check =
        links == Links::Follow ? ResolveOutput(path, target) : CheckUnfollowed(path, links);
    if (!check.ok() || !target.has_filename()) {
        return false;
    }
    m_durability = durability;
    m_links = links;
    const std::filesystem::path directory =
        target.has_parent_path() ? target.parent_path() : std::filesystem::path(".");
    m_folder = directory;
    m_directory = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (m_directory < 0) {
        return false;
    }
    m_name = target.filename().string();
    const std::string prefix = PartialFilePrefix(m_name);
    std::string temporary;
    int fd = -1;
    for (int attempt = 0; fd < 0 && attempt < 100; ++attempt) {
        temporary = prefix + RandomSuffix(attempt);
        fd = CreatePartialFile(m_directory, temporary.c_str(), m_entry);
        if (fd < 0 && errno != EEXIST) {
            break;
        }
    }
    if (fd < 0) {
        return false;
    }
    m_temporary = temporary;

    // A replaced file keeps its owner and group where we may give them (as
    // root, or a group of our own), and its permissions, but not setuid or
    // setgid: the new content is not what they were granted for. A new file
    // has the umask's say, as open gave it. A file system without Unix
    // owners or permissions refuses the change, which is no reason to refuse
    // the write.
    struct stat existing {};
    if (::fstatat(m_directory, m_name.c_str(), &existing, AT_SYMLINK_NOFOLLOW) == 0 &&
        S_ISREG(existing.st_mode)) {
        if (::fchown(fd, existing.st_uid, existing.st_gid) != 0 &&
            ::fchown(fd, static_cast<uid_t>(-1), existing.st_gid) != 0) {
            // Neither: the file keeps the writer's owner and group.
        }
        ::fchmod(fd, existing.st_mode & 07777 & ~static_cast<mode_t>(S_ISUID | S_ISGID));
    }

    bool ok = write(fd);
    if (ok && MorvaneTestPartialFileWritten != nullptr) {
        MorvaneTestPartialFileWritten(path.c_str());
    }
    if (durability == Durability::Flush) {
        ok = ok && ::fsync(fd) == 0;
    }
    ok = (::close(fd) == 0) && ok;
    if (!ok) {
        const int reason = errno;
        Abandon();
        errno = reason;
    }
    return ok;
}

CommitOutcome AtomicFile::Commit() {
    return Put(nullptr);
}

CommitOutcome AtomicFile::CommitIfUnchanged(const FileSnapshot& expected) {
    return Put(&expected);
}

bool AtomicFile::FolderStillThere() const {
    struct stat opened {};
    struct stat named {};
    return ::fstat(m_directory, &opened) == 0 && ::stat(m_folder.c_str(), &named) == 0 &&
           opened.st_dev == named.st_dev && opened.st_ino == named.st_ino;
}

bool AtomicFile::Replaceable(mode_t mode) const {
    return S_ISREG(mode) || (S_ISLNK(mode) && m_links == Links::Replace);
}

CommitOutcome AtomicFile::GiveUp(CommitOutcome outcome, int reason) {
    Abandon();
    errno = reason;
    return outcome;
}

CommitOutcome AtomicFile::Done() {
    m_temporary.clear();
    m_entry.Release();
    m_committed = true;
    if (m_durability == Durability::Flush) {
        ::fsync(m_directory);  // makes the rename durable
    }
    return CommitOutcome::Committed;
}

CommitOutcome AtomicFile::Put(const FileSnapshot* expected) {
    if (m_temporary.empty()) {
        return CommitOutcome::Failed;
    }
    // While the old file stands under the partial file's name (between the
    // exchange below and its removal, or its return), a signal waits: its
    // cleanup removes that name.
    const DeferredSignals deferred;
    // The folder the path names must still be the one written into: a
    // folder swapped for another (or for a link to one) would otherwise get
    // nothing while the file went where nobody looks.
    if (!FolderStillThere()) {
        return GiveUp(CommitOutcome::FolderMoved, 0);
    }
    struct stat now {};
    const bool exists = ::fstatat(m_directory, m_name.c_str(), &now, AT_SYMLINK_NOFOLLOW) == 0;
    if (expected != nullptr &&
        !((exists ? SnapshotOfStat(now) : FileSnapshot{}) == *expected)) {
        return GiveUp(CommitOutcome::Changed, 0);
    }
    // Something other than a regular file may have taken the target's place
    // while we wrote; it is still never replaced (a link only when asked).
    if (exists && !Replaceable(now.st_mode)) {
        return GiveUp(CommitOutcome::Failed, S_ISDIR(now.st_mode) ? EISDIR : EEXIST);
    }
    if (MorvaneTestRenaming != nullptr) {
        MorvaneTestRenaming((m_folder / m_name).c_str());
    }
    // The last look is microseconds old by now, so it is looked at again
    // after the change, and the change is undone if it was wrong: where
    // nothing stood, the new file goes in only while nothing is there, and
    // comes out again if the folder moved; where a file stood, the two are
    // exchanged, and exchanged back unless the old one, now at the partial
    // file's name, is still the one compared and the folder still the one
    // named. Only then is the old file removed.
    if (!exists) {
        if (::renameat2(m_directory, m_temporary.c_str(), m_directory, m_name.c_str(),
                        RENAME_NOREPLACE) == 0) {
            if (FolderStillThere()) {
                return Done();
            }
            if (::renameat2(m_directory, m_name.c_str(), m_directory, m_temporary.c_str(),
                            RENAME_NOREPLACE) != 0) {
                ::unlinkat(m_directory, m_name.c_str(), 0);
            }
            return GiveUp(CommitOutcome::FolderMoved, 0);
        }
        if (errno == EEXIST) {
            if (expected != nullptr) {
                return GiveUp(CommitOutcome::Changed, 0);  // nothing was there to replace
            }
            // Something came meanwhile: a plain write replaces it, as below.
        } else if (errno == EINVAL || errno == ENOSYS) {
            return Rename();  // a file system that cannot refuse to replace
        } else {
            return GiveUp(CommitOutcome::Failed, errno);
        }
    }
    if (::renameat2(m_directory, m_temporary.c_str(), m_directory, m_name.c_str(),
                    RENAME_EXCHANGE) != 0) {
        if (errno == EINVAL || errno == ENOSYS) {
            // A file system that cannot exchange two names: the rename alone,
            // and the moment since the last look stays open.
            return Rename();
        }
        return GiveUp(CommitOutcome::Failed, errno);
    }
    // What was exchanged out; nothing, if it went meanwhile, leaves nothing
    // to keep.
    struct stat old {};
    const bool oldThere =
        ::fstatat(m_directory, m_temporary.c_str(), &old, AT_SYMLINK_NOFOLLOW) == 0;
    CommitOutcome wrong = CommitOutcome::Committed;
    int reason = 0;
    if (!FolderStillThere()) {
        wrong = CommitOutcome::FolderMoved;
    } else if (oldThere && expected != nullptr && !SameContent(old, *expected)) {
        wrong = CommitOutcome::Changed;
    } else if (oldThere && !Replaceable(old.st_mode)) {
        wrong = CommitOutcome::Failed;
        reason = S_ISDIR(old.st_mode) ? EISDIR : EEXIST;
    }
    if (wrong == CommitOutcome::Committed) {
        ::unlinkat(m_directory, m_temporary.c_str(), 0);
        return Done();
    }
    if (::renameat2(m_directory, m_temporary.c_str(), m_directory, m_name.c_str(),
                    RENAME_EXCHANGE) != 0 &&
        oldThere) {
        // The old file could not go back: it stays under the partial file's
        // name, never removed, and the new one where it was put.
        m_temporary.clear();
        m_entry.Release();
        errno = reason;
        return wrong;
    }
    return GiveUp(wrong, reason);
}

CommitOutcome AtomicFile::Rename() {
    if (::renameat(m_directory, m_temporary.c_str(), m_directory, m_name.c_str()) != 0) {
        return GiveUp(CommitOutcome::Failed, errno);
    }
    return Done();
}

void AtomicFile::Abandon() {
    if (!m_temporary.empty()) {
        ::unlinkat(m_directory, m_temporary.c_str(), 0);
        m_temporary.clear();
    }
    m_entry.Release();
}

bool AtomicFile::KeepPrevious() {
    if (m_temporary.empty() || !m_kept.empty() || m_keptNone) {
        return false;
    }
    struct stat info {};
    if (::fstatat(m_directory, m_name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) {
        m_keptNone = errno == ENOENT;
        return m_keptNone;
    }
    // The partial file's name with another tag: as plainly ours if left.
    const std::string prefix = PartialFilePrefix(m_name);
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string kept = prefix + RandomSuffix(attempt) + "-kept";
        if (::linkat(m_directory, m_name.c_str(), m_directory, kept.c_str(), 0) == 0) {
            m_kept = std::move(kept);
            return true;
        }
        if (errno != EEXIST) {
            return false;
        }
    }
    return false;
}

CommitOutcome AtomicFile::KeepPreviousIfUnchanged(FileSnapshot& expected) {
    if (m_temporary.empty()) {
        return CommitOutcome::Failed;
    }
    struct stat before {};
    const bool exists =
        ::fstatat(m_directory, m_name.c_str(), &before, AT_SYMLINK_NOFOLLOW) == 0;
    if (!((exists ? SnapshotOfStat(before) : FileSnapshot{}) == expected)) {
        Abandon();
        return CommitOutcome::Changed;
    }
    if (!KeepPrevious()) {
        return CommitOutcome::Failed;
    }
    if (!exists) {
        return CommitOutcome::Committed;
    }
    // The kept name must hold the very file compared: same file, same
    // content's size and time. Only its status time may have moved, by our
    // own link.
    struct stat kept {};
    struct stat after {};
    if (::fstatat(m_directory, m_kept.c_str(), &kept, AT_SYMLINK_NOFOLLOW) != 0 ||
        ::fstatat(m_directory, m_name.c_str(), &after, AT_SYMLINK_NOFOLLOW) != 0 ||
        kept.st_dev != expected.device || kept.st_ino != expected.inode ||
        kept.st_size != expected.size || !SameTime(kept.st_mtim, expected.modified) ||
        after.st_ino != kept.st_ino || after.st_dev != kept.st_dev) {
        DropKept();
        Abandon();
        return CommitOutcome::Changed;
    }
    expected = SnapshotOfStat(after);
    return CommitOutcome::Committed;
}

void AtomicFile::RestorePrevious() {
    if (!m_committed) {
        return;
    }
    if (!m_kept.empty()) {
        if (::renameat(m_directory, m_kept.c_str(), m_directory, m_name.c_str()) == 0) {
            m_kept.clear();
        }
    } else if (m_keptNone) {
        ::unlinkat(m_directory, m_name.c_str(), 0);
    }
}

void AtomicFile::DropKept() {
    if (!m_kept.empty()) {
        ::unlinkat(m_directory, m_kept.c_str(), 0);
        m_kept.clear();
    }
}

namespace {

// A commit as a yes or no: a folder that moved is ESTALE, the handle of the
// folder written into no longer being the one its path names.
bool Committed(CommitOutcome outcome) {
    if (outcome == CommitOutcome::FolderMoved) {
        errno = ESTALE;
    }
    return outcome == CommitOutcome::Committed;
}

}  // namespace

bool WriteFileAtomically(const std::filesystem::path& path,
                         std::initializer_list<std::span<const uint8_t>> pieces,
                         Durability durability, Links links) {
    AtomicFile file;
    return file.Prepare(path, pieces, durability, links) && Committed(file.Commit());
}

bool WriteFileAtomically(const std::filesystem::path& path, const FileWriter& write,
                         Durability durability, Links links) {
    AtomicFile file;
    return file.Prepare(path, write, durability, links) && Committed(file.Commit());
}

}  // namespace morvane
