#pragma once
// The program's version block, kept as a resource (resources/version.ini).

#include <QString>

namespace morvane::app {

struct VersionInfo {
    QString fileVersion;
    QString productVersion;
    QString fileDescription;
    QString internalName;
    QString originalFilename;
    QString productName;
};

VersionInfo ReadVersionInfo();

}  // namespace morvane::app
