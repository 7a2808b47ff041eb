#pragma once
// Why a file named to the window cannot be opened, in the system's words.

#include <QString>

namespace morvane::app {

// "DIR is a folder, not a save state.", "x.pj: No such file or directory";
// empty when `path` is a regular file that can be opened for reading.
QString WhyNotOpened(const QString& path);

}  // namespace morvane::app
