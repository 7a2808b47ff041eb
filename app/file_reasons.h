#pragma once
// Files named to the window from outside its file dialogs (the command line,
// a drop): why one cannot be opened, in the system's words, and how it begins.

#include <QString>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace morvane::app {

// "DIR is a folder, not a save state.", "x.pj: No such file or directory";
// empty when `path` is a regular file that can be opened for reading.
QString WhyNotOpened(const QString& path);

// The first `count` bytes of the regular file at `path`, or fewer when it is
// shorter; none when it is no regular file or cannot be read. A FIFO is never
// waited on.
std::vector<uint8_t> FirstBytes(const QString& path, size_t count);

}  // namespace morvane::app
