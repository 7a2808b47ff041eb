#include <QCoreApplication>
#include <QStringList>
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
    // Judged before the application exists: without a display, making it
    // ends the process before any usage line could be printed.
    QStringList arguments;
    for (int i = 0; i < argc; ++i) {
        arguments << QString::fromLocal8Bit(argv[i]);
    }
    QString state;
    QString problem;
    if (!morvane::app::StateToOpen(morvane::app::WithoutToolkitOptions(arguments), state,
                                   problem)) {
        std::fprintf(stderr, "morvane: %s\n%s", problem.toLocal8Bit().constData(), kUsage);
        return 2;
    }
    // A window closed by a signal (a logout's SIGHUP) leaves no partial save.
    morvane::InstallPartialFileCleanup();
    morvane::app::CMorvaneApp app(argc, argv);
    return app.InitInstance(state);
}
