#include <QCoreApplication>
#include <cstdio>
#include <cstring>

#include "app/morvane_app.h"
#include "app/version_info.h"
#include "common/partial_files.h"

namespace {

bool AsksForVersion(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--version") == 0) {
            return true;
        }
    }
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    // Answered without a window, so that it works where there is no display.
    if (AsksForVersion(argc, argv)) {
        const QCoreApplication core(argc, argv);
        const QByteArray line = (QCoreApplication::applicationName() + QLatin1Char(' ') +
                                 morvane::app::ReadVersionInfo().fileVersion)
                                    .toLocal8Bit();
        std::printf("%s\n", line.constData());
        return 0;
    }
    // A window closed by a signal (a logout's SIGHUP) leaves no partial save.
    morvane::InstallPartialFileCleanup();
    morvane::app::CMorvaneApp app(argc, argv);
    return app.InitInstance();
}
