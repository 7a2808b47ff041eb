#include "common/file_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>

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

// Makes a rename in `directory` durable.
void SyncDirectory(const std::filesystem::path& directory) {
    const int fd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

}  // namespace

Error ReadFileBytes(const std::filesystem::path& path, std::vector<uint8_t>& bytes,
                    uintmax_t maxSize) {
    // Without O_NONBLOCK, opening a FIFO waits for a writer that may never
    // come; it is refused below as not a regular file. Reads of a regular
    // file ignore the flag.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        return Error::CouldNotOpenFile;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return Error::CouldNotOpenFile;
    }
    if (static_cast<uintmax_t>(info.st_size) > maxSize) {
        ::close(fd);
        return Error::FileTooLarge;
    }
    // One byte more than the file holds, so that the read which finds its end
    // needs no larger buffer: growing it would copy the whole file.
    std::vector<uint8_t> content(static_cast<size_t>(info.st_size) + 1);
    size_t done = 0;
    // The file may change length under us; read what is there, up to the limit.
    for (;;) {
        if (done == content.size()) {
            if (content.size() >= maxSize) {
                break;
            }
            content.resize(content.size() + 4096);
        }
        const ssize_t n = ::read(fd, content.data() + done, content.size() - done);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            ::close(fd);
            return Error::CouldNotOpenFile;
        }
        if (n == 0) {
            break;
        }
        done += static_cast<size_t>(n);
    }
    ::close(fd);
    if (done > maxSize) {
        return Error::FileTooLarge;
    }
    content.resize(done);
    bytes = std::move(content);
    return Error::None;
}

std::string PartialFilePrefix(const std::string& targetName) {
    return "." + targetName + ".morvane-partial-";
}

bool WriteFileAtomically(const std::filesystem::path& path,
                         std::initializer_list<std::span<const uint8_t>> pieces,
                         Durability durability) {
    const std::filesystem::path directory =
        path.has_parent_path() ? path.parent_path() : std::filesystem::path(".");
    std::string temporary =
        (directory / PartialFilePrefix(path.filename().string())).string() + "XXXXXX";
    const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0) {
        return false;
    }

    // Keep the permissions of the file we replace; a new file gets the usual
    // rw-r--r--.
    mode_t mode = 0644;
    struct stat existing {};
    if (::stat(path.c_str(), &existing) == 0) {
        mode = existing.st_mode & 07777;
    }

    bool ok = ::fchmod(fd, mode) == 0;
    for (const std::span<const uint8_t>& piece : pieces) {
        ok = ok && WriteAll(fd, piece);
    }
    if (durability == Durability::Flush) {
        ok = ok && ::fsync(fd) == 0;
    }
    ok = (::close(fd) == 0) && ok;
    ok = ok && ::rename(temporary.c_str(), path.c_str()) == 0;
    if (!ok) {
        ::unlink(temporary.c_str());
        return false;
    }
    if (durability == Durability::Flush) {
        SyncDirectory(directory);
    }
    return true;
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
