#pragma once
// The one seam between the windows and everything modal that they open: file
// dialogs, message boxes, popup menus and modal dialogs. The program answers
// through the real dialogs; the tests answer from a script and record what was
// asked of them.

#include <QPoint>
#include <QString>
#include <filesystem>

class QAction;
class QDialog;
class QMenu;
class QWidget;

namespace morvane::app {

class Prompts {
public:
    virtual ~Prompts() = default;

    // A file dialog for opening; the chosen path, or empty when cancelled.
    virtual QString GetOpenFileName(QWidget* owner) = 0;

    // A Save As file dialog; the chosen path, or empty when cancelled.
    virtual QString GetSaveFileName(QWidget* owner) = 0;

    // A message box with an OK button.
    virtual void ShowMessageBox(QWidget* owner, const QString& caption, const QString& text) = 0;

    // Runs a dialog modally and returns when it has been closed.
    virtual void RunModal(QDialog& dialog) = 0;

    // Pops up a menu at a global position; the action picked, or null.
    virtual QAction* PopupMenu(QMenu& menu, const QPoint& globalPosition) = 0;
};

// A path from a file dialog, in the form the core's file functions take.
std::filesystem::path PathFromDialog(const QString& path);

// The real dialogs.
class DesktopPrompts final : public Prompts {
public:
    QString GetOpenFileName(QWidget* owner) override;
    QString GetSaveFileName(QWidget* owner) override;
    void ShowMessageBox(QWidget* owner, const QString& caption, const QString& text) override;
    void RunModal(QDialog& dialog) override;
    QAction* PopupMenu(QMenu& menu, const QPoint& globalPosition) override;
};

}  // namespace morvane::app
