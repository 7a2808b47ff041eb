#include "scripted_prompts.h"

#include <QAction>
#include <QMenu>
#include <QWidget>

namespace morvane::apptest {
namespace {

QString Next(std::deque<QString>& answers) {
    if (answers.empty()) {
        return QString();
    }
    QString answer = answers.front();
    answers.pop_front();
    return answer;
}

}  // namespace

QString ScriptedPrompts::GetOpenFileName(QWidget*, const app::FileDialogSpec& spec) {
    fileDialogs << QStringLiteral("open");
    fileSpecs.push_back(spec);
    return Next(paths);
}

QString ScriptedPrompts::GetSaveFileName(QWidget*, const app::FileDialogSpec& spec) {
    fileDialogs << QStringLiteral("save");
    fileSpecs.push_back(spec);
    return Next(paths);
}

void ScriptedPrompts::ShowMessageBox(QWidget*, const QString& caption, const QString& text,
                                     const QString& details) {
    messages.push_back(RecordedMessage{caption, text, details});
}

app::ReplaceChoice ScriptedPrompts::AskToReplace(QWidget*, const QString& caption,
                                                 const QString& text, const QString& details) {
    questions.push_back(RecordedMessage{caption, text, details});
    if (replaceChoices.empty()) {
        return app::ReplaceChoice::Cancel;
    }
    const app::ReplaceChoice choice = replaceChoices.front();
    replaceChoices.pop_front();
    return choice;
}

void ScriptedPrompts::RunModal(QDialog& dialog) {
    const QWidget* owner = dialog.parentWidget();
    modals.push_back(RecordedModal{dialog.windowTitle(), owner != nullptr && owner->isVisible()});
    if (onModal) {
        onModal(dialog);
    }
}

QAction* ScriptedPrompts::PopupMenu(QMenu& menu, const QPoint&) {
    RecordedMenu record{menu.title(), {}, {}};
    for (QAction* action : menu.actions()) {
        record.items << (action->isSeparator() ? QStringLiteral("-") : action->text());
        if (!action->isSeparator() && !action->isEnabled()) {
            record.disabled << action->text();
        }
    }
    menus.push_back(record);
    const QString choice = Next(menuChoices);
    for (QAction* action : menu.actions()) {
        if (!choice.isEmpty() && action->text() == choice && action->isEnabled()) {
            return action;
        }
    }
    return nullptr;
}

bool ScriptedPrompts::OpenFolder(const QString& folder) {
    openedFolders << folder;
    return true;
}

QStringList ScriptedPrompts::MessageTexts() const {
    QStringList texts;
    for (const RecordedMessage& message : messages) {
        texts << message.text;
    }
    return texts;
}

}  // namespace morvane::apptest
