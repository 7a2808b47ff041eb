#pragma once
// The application object. Its name is the executable's base name, Qt's
// default, which the window system takes as the window's class.

#include <QApplication>
#include <QStringList>

namespace morvane::app {

// The state that the command line names (`morvane STATE`, as a file manager
// starts the program), or an empty string. False, with `problem` naming the
// argument, for an option it does not know or a second state.
bool StateToOpen(const QStringList& arguments, QString& state, QString& problem);

// The arguments without the toolkit's own options (-platform NAME, -style=S,
// -reverse, ...) and their values, as QApplication would leave them: so that
// the command line can be judged before there is an application, which needs
// a display.
QStringList WithoutToolkitOptions(const QStringList& arguments);

class CMorvaneApp final : public QApplication {
    Q_OBJECT
public:
    CMorvaneApp(int& argc, char** argv);

    // Runs the main window modally and returns the process's exit status once
    // it has closed: 0, or 1 when the window could not start. A `state` is
    // opened as Browse opens one, once the window is up.
    int InitInstance(const QString& state = QString());
};

}  // namespace morvane::app
