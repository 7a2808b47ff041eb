// morvane-screenshot: saves a picture of the main window with a state loaded,
// as a user sees it after Browse. Used by scripts/screenshot.sh.
//
//   morvane-screenshot STATE OUT.png [PICTURE]
//
// With PICTURE, the window's second face is then replaced with it, and OUT.png
// shows the window after the replacement. Every message box and question
// that the window shows meanwhile is the real one, saved as OUT-1.png,
// OUT-2.png, ... and then dismissed (a question with Cancel).

#include <QApplication>
#include <QListWidget>
#include <QTest>
#include <QTextStream>
#include <QTimer>

#include "app/main_dialog.h"
#include "app/texture_gallery.h"
#include "app_test_support.h"
#include "scripted_prompts.h"

namespace {

class GrabbingPrompts final : public morvane::app::Prompts {
public:
    explicit GrabbingPrompts(QString base) : m_base(std::move(base)) {}

    QString GetOpenFileName(QWidget* owner, const morvane::app::FileDialogSpec& spec) override {
        return scripted.GetOpenFileName(owner, spec);
    }
    QString GetSaveFileName(QWidget* owner, const morvane::app::FileDialogSpec& spec) override {
        return scripted.GetSaveFileName(owner, spec);
    }
    void ShowMessageBox(QWidget* owner, const QString& caption, const QString& text,
                        const QString& details) override {
        scripted.ShowMessageBox(owner, caption, text, details);
        GrabNextModal();
        m_real.ShowMessageBox(owner, caption, text, details);
    }
    morvane::app::ReplaceChoice AskToReplace(QWidget* owner, const QString& caption,
                                             const QString& text, const QString& details) override {
        scripted.AskToReplace(owner, caption, text, details);
        GrabNextModal();
        return m_real.AskToReplace(owner, caption, text, details);
    }
    void RunModal(QDialog& dialog) override { scripted.RunModal(dialog); }
    QAction* PopupMenu(QMenu& menu, const QPoint& globalPosition) override {
        return scripted.PopupMenu(menu, globalPosition);
    }
    bool OpenFolder(const QString& folder) override { return scripted.OpenFolder(folder); }

    morvane::apptest::ScriptedPrompts scripted;

private:
    // Once the box is up and drawn: saved, then closed as Esc closes it.
    void GrabNextModal() {
        const QString out = QStringLiteral("%1-%2.png").arg(m_base).arg(++m_grabbed);
        QTimer::singleShot(300, [out] {
            QWidget* modal = QApplication::activeModalWidget();
            if (modal == nullptr) {
                return;
            }
            if (!modal->grab().save(out)) {
                QTextStream(stderr) << "cannot write " << out << "\n";
            }
            modal->close();
        });
    }

    QString m_base;
    int m_grabbed = 0;
    morvane::app::DesktopPrompts m_real;
};

}  // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() != 3 && args.size() != 4) {
        QTextStream(stderr) << "usage: morvane-screenshot STATE OUT.png [PICTURE]\n";
        return 2;
    }
    QString base = args[2];
    if (base.endsWith(QLatin1String(".png"))) {
        base.chop(4);
    }
    GrabbingPrompts prompts(base);
    morvane::app::CMainDialog dialog(prompts);
    if (!dialog.OnInitDialog(false)) {
        return 1;
    }
    dialog.show();
    if (!QTest::qWaitForWindowExposed(&dialog)) {
        return 1;
    }
    prompts.scripted.paths.push_back(args[1]);
    dialog.OnOK();
    QListWidget* list = morvane::apptest::TextureList(dialog);
    if (args.size() == 4 && list->count() > 1) {
        dialog.ReplaceTextureFrom(list->item(1)->data(morvane::app::kRecordRole).toInt(), args[3]);
    }
    for (const morvane::apptest::RecordedMessage& message : prompts.scripted.messages) {
        QTextStream(stderr) << message.text << "\n" << message.details << "\n";
    }
    QCoreApplication::processEvents();
    if (!dialog.grab().save(args[2])) {
        QTextStream(stderr) << "cannot write " << args[2] << "\n";
        return 1;
    }
    return prompts.scripted.messages.empty() ? 0 : 1;
}
