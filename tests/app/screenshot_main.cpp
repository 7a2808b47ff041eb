// morvane-screenshot: saves a picture of the main window with a state loaded,
// as a user sees it after Browse. Used by scripts/screenshot.sh.

#include <QApplication>
#include <QTest>
#include <QTextStream>

#include "app/main_dialog.h"
#include "scripted_prompts.h"

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() != 3) {
        QTextStream(stderr) << "usage: morvane-screenshot STATE OUT.png\n";
        return 2;
    }
    morvane::apptest::ScriptedPrompts prompts;
    morvane::app::CMainDialog dialog(prompts);
    if (!dialog.OnInitDialog()) {
        return 1;
    }
    dialog.show();
    if (!QTest::qWaitForWindowExposed(&dialog)) {
        return 1;
    }
    prompts.paths.push_back(args[1]);
    dialog.OnOK();
    for (const morvane::apptest::RecordedMessage& message : prompts.messages) {
        QTextStream(stderr) << message.text << "\n";
    }
    QCoreApplication::processEvents();
    if (!dialog.grab().save(args[2])) {
        QTextStream(stderr) << "cannot write " << args[2] << "\n";
        return 1;
    }
    return prompts.messages.empty() ? 0 : 1;
}
