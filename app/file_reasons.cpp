#include "app/file_reasons.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "app/prompts.h"
#include "app/strings.h"

namespace morvane::app {

QString WhyNotOpened(const QString& path) {
    const std::filesystem::path file = PathFromDialog(path);
    const QString shown = PathForDisplay(file);
    const auto systemReason = [&shown] {
        return shown + QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(errno));
    };
    struct stat info {};
    if (::stat(file.c_str(), &info) != 0) {
        return systemReason();
    }
    if (!S_ISREG(info.st_mode)) {
        return QString::fromLatin1(kNotASaveState).arg(shown, FileKindText(info.st_mode & S_IFMT));
    }
    // Not blocking: a file swapped for a FIFO since is not waited on.
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        return systemReason();
    }
    ::close(fd);
    return QString();
}

std::vector<uint8_t> FirstBytes(const QString& path, size_t count) {
    const std::filesystem::path file = PathFromDialog(path);
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        return {};
    }
    std::vector<uint8_t> bytes(count);
    struct stat info {};
    const ssize_t got = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode)
                            ? ::read(fd, bytes.data(), bytes.size())
                            : -1;
    ::close(fd);
    bytes.resize(got > 0 ? static_cast<size_t>(got) : 0);
    return bytes;
}

}  // namespace morvane::app
