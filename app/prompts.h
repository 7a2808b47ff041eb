#pragma once
// The one seam between the windows and everything modal that they open: file
// dialogs, message boxes, questions, popup menus and modal dialogs, and the
// file manager that they hand a folder to. The program answers through the
// real dialogs; the tests answer from a script and record what was asked of
// them.

#include <QPoint>
#include <QString>
#include <filesystem>

class QAction;
class QDialog;
class QMenu;
class QWidget;

namespace morvane::app {

// What a file dialog offers.
struct FileDialogSpec {
    QString filters;        // ";;" between filters, as QFileDialog takes them; empty: any file
    QString defaultSuffix;  // Save As: added to a name typed without an extension
    QString start;          // the file or folder it opens at; empty: the dialog's choice
};

// The answers to "that file already exists".
enum class ReplaceChoice {
    Replace,        // write over it
    SaveElsewhere,  // pick another name in a Save As dialog
    Cancel,         // write nothing
};

class Prompts {
public:
    virtual ~Prompts() = default;

    // A file dialog for opening; the chosen path, or empty when cancelled.
    virtual QString GetOpenFileName(QWidget* owner, const FileDialogSpec& spec) = 0;

    // A Save As file dialog, which asks before it overwrites a file; the
    // chosen path, or empty when cancelled.
    virtual QString GetSaveFileName(QWidget* owner, const FileDialogSpec& spec) = 0;

    // A message box with a warning icon and an OK button: `text` the main
    // text, `details` beneath it (none when empty).
    virtual void ShowMessageBox(QWidget* owner, const QString& caption, const QString& text,
                                const QString& details) = 0;

    // Asks what to do about a file that a write would replace.
    virtual ReplaceChoice AskToReplace(QWidget* owner, const QString& caption, const QString& text,
                                       const QString& details) = 0;

    // Runs a dialog modally and returns when it has been closed.
    virtual void RunModal(QDialog& dialog) = 0;

    // Pops up a menu at a global position; the action picked, or null.
    virtual QAction* PopupMenu(QMenu& menu, const QPoint& globalPosition) = 0;

    // Shows a folder in the desktop's file manager. False when none could.
    virtual bool OpenFolder(const QString& folder) = 0;
};

// A path from a file dialog, in the form the core's file functions take.
std::filesystem::path PathFromDialog(const QString& path);

// The other way: a path as the user reads it, absolute, with the platform's
// separators.
QString PathForDisplay(const std::filesystem::path& path);

// The real dialogs.
class DesktopPrompts final : public Prompts {
public:
    QString GetOpenFileName(QWidget* owner, const FileDialogSpec& spec) override;
    QString GetSaveFileName(QWidget* owner, const FileDialogSpec& spec) override;
    void ShowMessageBox(QWidget* owner, const QString& caption, const QString& text,
                        const QString& details) override;
    ReplaceChoice AskToReplace(QWidget* owner, const QString& caption, const QString& text,
                               const QString& details) override;
    void RunModal(QDialog& dialog) override;
    QAction* PopupMenu(QMenu& menu, const QPoint& globalPosition) override;
    bool OpenFolder(const QString& folder) override;
};

}  // namespace morvane::app
