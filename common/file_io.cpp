#include "common/file_io.h"

#include <sys/stat.h>
#include <time.h>

#include <algorithm>
#include <cerrno>
#include <string>

#include "common/file_checks.h"
#include "common/input_file.h"

namespace morvane {
namespace {

// The longest file name that Linux's file systems take.
constexpr size_t kNameMax = 255;
// Symbolic links followed before a chain counts as a loop, as the kernel does.
constexpr int kMaxLinks = 40;


// What a write to the path would be refused for, given how looking at it
// went (stat or lstat): anything but a regular file or nothing at all.
OutputCheck CheckLooked(int looked, const struct stat& info) {
    OutputCheck check;
    if (looked == 0) {
        if (!S_ISREG(info.st_mode)) {
            check.refusal = OutputRefusal::NotARegularFile;
            check.error = S_ISDIR(info.st_mode) ? EISDIR : 0;
            check.fileType = info.st_mode & S_IFMT;
        }
    } else if (errno != ENOENT) {
        check.refusal = OutputRefusal::CannotResolve;
        check.error = errno;
    }
    return check;
}

}  // namespace

int FollowLinks(const std::filesystem::path& path, std::vector<std::filesystem::path>& chain) {
    chain.assign(1, path);
    for (int links = 0;; ++links) {
        const std::filesystem::path& current = chain.back();
        struct stat link {};
        if (::lstat(current.c_str(), &link) != 0 || !S_ISLNK(link.st_mode)) {
            return 0;  // the file itself, or a name to create
        }
        std::error_code error;
        const std::filesystem::path next = std::filesystem::read_symlink(current, error);
        if (error || links == kMaxLinks) {
            return error ? error.value() : ELOOP;
        }
        chain.push_back(next.is_absolute() ? next : current.parent_path() / next);
    }
}

OutputCheck ResolveOutput(const std::filesystem::path& path, std::filesystem::path& target) {
    struct stat info {};
    OutputCheck check = CheckLooked(::stat(path.c_str(), &info), info);
    if (!check.ok()) {
        return check;
    }
    std::vector<std::filesystem::path> chain;
    if (const int error = FollowLinks(path, chain); error != 0) {
        check.refusal = OutputRefusal::CannotResolve;
        check.error = error;
        return check;
    }
    const std::filesystem::path& current = chain.back();
    // A name in /proc of an open file leads to the file's own name, which a
    // deleted file no longer has: its link reads "NAME (deleted)", a name
    // that a write would create. Whatever the links lead to must be the very
    // file the path shows.
    struct stat reached {};
    if (::stat(path.c_str(), &info) == 0 &&
        (::stat(current.c_str(), &reached) != 0 || reached.st_dev != info.st_dev ||
         reached.st_ino != info.st_ino)) {
        check.refusal = OutputRefusal::CannotResolve;
        check.error = ENOENT;
        return check;
    }
    target = current;
    return check;
}

OutputCheck CheckUnfollowed(const std::filesystem::path& path, Links links) {
    struct stat info {};
    const int looked = ::lstat(path.c_str(), &info);
    if (looked == 0 && S_ISLNK(info.st_mode) && links == Links::Replace) {
        return {};
    }
    return CheckLooked(looked, info);
}

FileSnapshot SnapshotOfStat(const struct stat& info) {
    FileSnapshot snapshot;
    snapshot.exists = true;
    snapshot.device = info.st_dev;
    snapshot.inode = info.st_ino;
    snapshot.mode = info.st_mode;
    snapshot.size = info.st_size;
    snapshot.modified = info.st_mtim;
    snapshot.changed = info.st_ctim;
    return snapshot;
}

bool SameTime(const timespec& a, const timespec& b) {
    return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

bool SameContent(const struct stat& info, const FileSnapshot& seen) {
    return seen.exists && info.st_dev == seen.device && info.st_ino == seen.inode &&
           info.st_mode == seen.mode && info.st_size == seen.size &&
           SameTime(info.st_mtim, seen.modified);
}

Error ReadFileBytes(const std::filesystem::path& path, std::vector<uint8_t>& bytes,
                    uintmax_t maxSize) {
    InputFile file;
    if (const Error opened = file.Open(path); opened != Error::None) {
        return opened;
    }
    if (file.size() > maxSize) {
        return Error::FileTooLarge;
    }
    // One byte more than the file holds, so that the read which finds its end
    // needs no larger buffer: growing it would copy the whole file. The file
    // may change length under us; read what is there, up to the limit.
    std::vector<uint8_t> content(static_cast<size_t>(file.size()) + 1);
    size_t done = 0;
    for (;;) {
        size_t count = 0;
        if (!file.Read(std::span(content).subspan(done), count)) {
            return Error::CouldNotOpenFile;
        }
        done += count;
        if (done < content.size() || content.size() > maxSize) {
            break;
        }
        content.resize(content.size() + 4096);
    }
    if (done > maxSize) {
        return Error::FileTooLarge;
    }
    content.resize(done);
    bytes = std::move(content);
    return Error::None;
}

std::string PartialFilePrefix(const std::string& targetName) {
    // A name of up to 255 bytes is valid, and the prefix and suffix add 24:
    // keep as much of the name as fits, without splitting a UTF-8 character.
    constexpr size_t kRoom = kNameMax - 1 - kPartialTag.size() - kPartialSuffixLength;
    size_t kept = std::min(targetName.size(), kRoom);
    while (kept > 0 && kept < targetName.size() &&
           (static_cast<unsigned char>(targetName[kept]) & 0xC0) == 0x80) {
        --kept;
    }
    // Built by appends: GCC 12 takes "." + substr for an overlapping copy
    // (a -Wrestrict false positive) in optimised builds.
    std::string prefix(".");
    prefix.append(targetName, 0, kept);
    prefix.append(kPartialTag);
    return prefix;
}

OutputCheck CheckOutputPath(const std::filesystem::path& path) {
    std::filesystem::path target;
    return ResolveOutput(path, target);
}


bool operator==(const FileSnapshot& a, const FileSnapshot& b) {
    if (!a.exists || !b.exists) {
        return a.exists == b.exists;
    }
    return a.device == b.device && a.inode == b.inode && a.mode == b.mode && a.size == b.size &&
           SameTime(a.modified, b.modified) && SameTime(a.changed, b.changed);
}

FileSnapshot SnapshotOf(const std::filesystem::path& path) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0) {
        return {};
    }
    return SnapshotOfStat(info);
}

bool SameFile(const std::filesystem::path& a, const std::filesystem::path& b) {
    struct stat sa {};
    struct stat sb {};
    if (::stat(a.c_str(), &sa) != 0 || ::stat(b.c_str(), &sb) != 0) {
        return false;
    }
    return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

}  // namespace morvane
