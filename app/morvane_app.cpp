#include "app/morvane_app.h"

#include <QFileInfo>
#include <cstdio>

#include "app/main_dialog.h"
#include "app/prompts.h"

namespace morvane::app {

bool StateToOpen(const QStringList& arguments, QString& state, QString& problem) {
    state.clear();
    bool options = true;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& arg = arguments[i];
        if (options && arg == QLatin1String("--")) {
            options = false;
        } else if (options && arg.startsWith(QLatin1Char('-')) && arg != QLatin1String("-")) {
            problem = QStringLiteral("unknown option '%1'").arg(arg);
            return false;
        } else if (!state.isEmpty()) {
            problem = QStringLiteral("unexpected argument '%1': one state at a time").arg(arg);
            return false;
        } else {
            state = arg;
        }
    }
    return true;
}

CMorvaneApp::CMorvaneApp(int& argc, char** argv) : QApplication(argc, argv) {
    // The program's life is the main window's modal run, not the application's
    // event loop: the About box closing before the main window appears must
    // not end it.
    setQuitOnLastWindowClosed(false);
    // Ties the window to its desktop entry: Wayland's app id. On X11 the
    // window's class is the program's name, which the entry's StartupWMClass gives.
    setDesktopFileName(QStringLiteral("io.github.morvane.Morvane"));
}

int CMorvaneApp::InitInstance(const QString& state) {
    // The window says nothing of a file it cannot open, as after Browse; from
    // a terminal the user at least learns why nothing appeared.
    if (!state.isEmpty() && !QFileInfo(state).isReadable()) {
        std::fprintf(stderr, "morvane: cannot open %s\n", state.toLocal8Bit().constData());
    }
    DesktopPrompts prompts;
    CMainDialog dialog(prompts);
    return dialog.DoModal(state) < 0 ? 1 : 0;
}

}  // namespace morvane::app
