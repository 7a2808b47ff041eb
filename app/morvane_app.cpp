#include "app/morvane_app.h"

#include <cstdio>

#include "app/file_reasons.h"
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

QStringList WithoutToolkitOptions(const QStringList& arguments) {
    // Qt's options, with one dash or two: those that take the next argument
    // as their value, and those that stand alone. Any other is the program's.
    static const QStringList withValue = {QStringLiteral("platform"),
                                          QStringLiteral("platformpluginpath"),
                                          QStringLiteral("platformtheme"),
                                          QStringLiteral("plugin"),
                                          QStringLiteral("qwindowgeometry"),
                                          QStringLiteral("geometry"),
                                          QStringLiteral("qwindowtitle"),
                                          QStringLiteral("title"),
                                          QStringLiteral("qwindowicon"),
                                          QStringLiteral("icon"),
                                          QStringLiteral("session"),
                                          QStringLiteral("display"),
                                          QStringLiteral("name"),
                                          QStringLiteral("visual"),
                                          QStringLiteral("style"),
                                          QStringLiteral("stylesheet")};
    static const QStringList alone = {QStringLiteral("reverse"),     QStringLiteral("widgetcount"),
                                      QStringLiteral("testability"), QStringLiteral("sync"),
                                      QStringLiteral("nograb"),      QStringLiteral("dograb"),
                                      QStringLiteral("qdevel"),      QStringLiteral("qdebug")};
    QStringList kept = arguments.mid(0, 1);
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& arg = arguments[i];
        if (arg == QLatin1String("--")) {
            kept << arguments.mid(i);
            break;
        }
        QString option = arg;
        if (option.startsWith(QLatin1String("--"))) {
            option.remove(0, 1);
        }
        if (!option.startsWith(QLatin1Char('-'))) {
            kept << arg;
            continue;
        }
        option.remove(0, 1);
        const qsizetype equals = option.indexOf(QLatin1Char('='));
        const QString name = equals < 0 ? option : option.left(equals);
        if ((equals >= 0 && (withValue.contains(name) || name == QLatin1String("qmljsdebugger"))) ||
            alone.contains(name)) {
            continue;
        }
        if (equals < 0 && withValue.contains(name) && i + 1 < arguments.size()) {
            ++i;
            continue;
        }
        kept << arg;
    }
    return kept;
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
    // The window says it in a message box too; from a terminal the user
    // learns it where the command was typed.
    if (!state.isEmpty()) {
        if (const QString why = WhyNotOpened(state); !why.isEmpty()) {
            std::fprintf(stderr, "morvane: %s\n", why.toLocal8Bit().constData());
        }
    }
    DesktopPrompts prompts;
    CMainDialog dialog(prompts);
    return dialog.DoModal(state) < 0 ? 1 : 0;
}

}  // namespace morvane::app
