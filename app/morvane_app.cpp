#include "app/morvane_app.h"

#include "app/main_dialog.h"
#include "app/prompts.h"

namespace morvane::app {

CMorvaneApp::CMorvaneApp(int& argc, char** argv) : QApplication(argc, argv) {
    // The program's life is the main window's modal run, not the application's
    // event loop: the About box closing before the main window appears must
    // not end it.
    setQuitOnLastWindowClosed(false);
}

int CMorvaneApp::InitInstance() {
    DesktopPrompts prompts;
    CMainDialog dialog(prompts);
    return dialog.DoModal() < 0 ? 1 : 0;
}

}  // namespace morvane::app
