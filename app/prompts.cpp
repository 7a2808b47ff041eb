#include "app/prompts.h"

#include <QDialog>
#include <QFile>
#include <QFileDialog>
#include <QMenu>
#include <QMessageBox>

namespace morvane::app {

std::filesystem::path PathFromDialog(const QString& path) {
#ifdef Q_OS_WIN
    return std::filesystem::path(path.toStdWString());
#else
    // File names are bytes here; Qt decodes them with the locale's encoding.
    return std::filesystem::path(QFile::encodeName(path).toStdString());
#endif
}

// No filter and no starting name: any file can be picked, as in the original.
// Qt's Save As dialog asks before it overwrites a file, as the original's did.
QString DesktopPrompts::GetOpenFileName(QWidget* owner) {
    return QFileDialog::getOpenFileName(owner);
}

QString DesktopPrompts::GetSaveFileName(QWidget* owner) {
    return QFileDialog::getSaveFileName(owner);
}

void DesktopPrompts::ShowMessageBox(QWidget* owner, const QString& caption, const QString& text) {
    QMessageBox box(QMessageBox::NoIcon, caption, text, QMessageBox::Ok, owner);
    box.exec();
}

void DesktopPrompts::RunModal(QDialog& dialog) {
    dialog.exec();
}

QAction* DesktopPrompts::PopupMenu(QMenu& menu, const QPoint& globalPosition) {
    return menu.exec(globalPosition);
}

}  // namespace morvane::app
