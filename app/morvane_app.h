#pragma once
// The application object. Its name is the executable's base name, Qt's
// default, and that name is the caption of every message box.

#include <QApplication>
#include <QStringList>

namespace morvane::app {

// The state that the command line names (`morvane STATE`, as a file manager
// starts the program), or an empty string. False, with `problem` naming the
// argument, for an option it does not know or a second state.
bool StateToOpen(const QStringList& arguments, QString& state, QString& problem);

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
