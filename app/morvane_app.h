#pragma once
// The application object. Its name is the executable's base name, Qt's
// default, and that name is the caption of every message box.

#include <QApplication>

namespace morvane::app {

class CMorvaneApp final : public QApplication {
    Q_OBJECT
public:
    CMorvaneApp(int& argc, char** argv);

    // Runs the main window modally and returns the process's exit status once
    // it has closed: 0, or 1 when the window could not start.
    int InitInstance();
};

}  // namespace morvane::app
