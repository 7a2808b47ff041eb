#pragma once
// The tests' answer to the windows' seam: file dialogs answered from a queue
// of paths, questions from a queue of choices, popup menus from a queue of
// item texts (a disabled item cannot be picked), and every file dialog,
// message box, question, modal dialog, menu and folder shown recorded.

#include <QDialog>
#include <QString>
#include <QStringList>
#include <deque>
#include <functional>
#include <vector>

#include "app/prompts.h"

namespace morvane::apptest {

struct RecordedMessage {
    QString caption;
    QString text;
    QString details;  // beneath the text
};

struct RecordedModal {
    QString title;
    bool ownerVisible = false;  // whether the owner was on screen at the time
};

struct RecordedMenu {
    QString title;
    QStringList items;     // "-" for a separator
    QStringList disabled;  // the items that cannot be picked
};

class ScriptedPrompts final : public app::Prompts {
public:
    QString GetOpenFileName(QWidget* owner, const app::FileDialogSpec& spec) override;
    QString GetSaveFileName(QWidget* owner, const app::FileDialogSpec& spec) override;
    void ShowMessageBox(QWidget* owner, const QString& caption, const QString& text,
                        const QString& details) override;
    app::ReplaceChoice AskToReplace(QWidget* owner, const QString& caption, const QString& text,
                                    const QString& details) override;
    void RunModal(QDialog& dialog) override;
    QAction* PopupMenu(QMenu& menu, const QPoint& globalPosition) override;
    bool OpenFolder(const QString& folder) override;

    // Answers, consumed in order. A file dialog with no answer left is
    // cancelled, and so is a question; a menu with none is dismissed.
    std::deque<QString> paths;
    std::deque<app::ReplaceChoice> replaceChoices;
    std::deque<QString> menuChoices;

    // Called with each modal dialog instead of running it, when set.
    std::function<void(QDialog&)> onModal;

    QStringList fileDialogs;                     // "open" or "save", one per dialog asked for
    std::vector<app::FileDialogSpec> fileSpecs;  // what each offered
    std::vector<RecordedMessage> messages;
    std::vector<RecordedMessage> questions;
    std::vector<RecordedModal> modals;
    std::vector<RecordedMenu> menus;
    QStringList openedFolders;

    QStringList MessageTexts() const;
};

}  // namespace morvane::apptest
