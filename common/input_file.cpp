#include "common/input_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace morvane {

InputFile::~InputFile() {
    if (m_fd >= 0) {
        ::close(m_fd);
    }
}

Error InputFile::Open(const std::filesystem::path& path) {
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
    if (m_fd >= 0) {
        ::close(m_fd);
    }
    m_fd = fd;
    m_size = static_cast<uint64_t>(info.st_size);
    return Error::None;
}

bool InputFile::Read(std::span<uint8_t> into, size_t& count) {
    count = 0;
    while (count < into.size()) {
        const ssize_t n = ::read(m_fd, into.data() + count, into.size() - count);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        if (n == 0) {
            break;
        }
        count += static_cast<size_t>(n);
    }
    return true;
}

}  // namespace morvane
