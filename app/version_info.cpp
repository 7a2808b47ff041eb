#include "app/version_info.h"

#include <QSettings>

namespace morvane::app {

VersionInfo ReadVersionInfo() {
    const QSettings block(QStringLiteral(":/version.ini"), QSettings::IniFormat);
    const auto field = [&block](const char* name) {
        return block.value(QStringLiteral("VersionInfo/") + QLatin1String(name)).toString();
    };
    return VersionInfo{field("FileVersion"),  field("ProductVersion"),   field("FileDescription"),
                       field("InternalName"), field("OriginalFilename"), field("ProductName")};
}

}  // namespace morvane::app
