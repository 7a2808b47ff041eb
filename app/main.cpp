#include <QCoreApplication>
#include <cstdio>
#include <cstring>

#include "app/morvane_app.h"
#include "app/version_info.h"
#include "common/partial_files.h"

namespace {

const char kUsage[] =
    "usage: morvane [STATE]\n"
    "       morvane --help | --version\n"
    "Opens the window, and the save state STATE in it when one is given.\n";

bool Asks(int argc, char** argv, const char* option) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--") == 0) {
            return false;
        }
        if (std::strcmp(argv[i], option) == 0) {
            return true;
        }
    }
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    // Answered without a window, so that they work where there is no display.
    if (Asks(argc, argv, "--version")) {
        const QCoreApplication core(argc, argv);
        const QByteArray line = (QCoreApplication::applicationName() + QLatin1Char(' ') +
                                 morvane::app::ReadVersionInfo().fileVersion)
                                    .toLocal8Bit();
        std::printf("%s\n", line.constData());
        return 0;
    }
    if (Asks(argc, argv, "--help")) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    // A window closed by a signal (a logout's SIGHUP) leaves no partial save.
    morvane::InstallPartialFileCleanup();
    morvane::app::CMorvaneApp app(argc, argv);
    // The toolkit has taken its own options (-platform and the like) by now.
    QString state;
    QString problem;
    if (!morvane::app::StateToOpen(app.arguments(), state, problem)) {
        std::fprintf(stderr, "morvane: %s\n%s", problem.toLocal8Bit().constData(), kUsage);
        return 2;
    }
    return app.InitInstance(state);
}
