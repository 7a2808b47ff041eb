#include "app/prompts.h"

#include <QDesktopServices>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QUrl>

#include "app/strings.h"

namespace morvane::app {

std::filesystem::path PathFromDialog(const QString& path) {
#ifdef Q_OS_WIN
    return std::filesystem::path(path.toStdWString());
#else
    // File names are bytes here; Qt decodes them with the locale's encoding.
    return std::filesystem::path(QFile::encodeName(path).toStdString());
#endif
}

QString PathForDisplay(const std::filesystem::path& path) {
    std::error_code error;
    std::filesystem::path absolute = std::filesystem::absolute(path, error);
    if (error) {
        absolute = path;
    }
#ifdef Q_OS_WIN
    return QDir::toNativeSeparators(QString::fromStdWString(absolute.wstring()));
#else
    return QFile::decodeName(QByteArray::fromStdString(absolute.string()));
#endif
}

namespace {

QString Run(QFileDialog& dialog, const FileDialogSpec& spec) {
    if (!spec.filters.isEmpty()) {
        dialog.setNameFilter(spec.filters);
    }
    if (dialog.exec() != QDialog::Accepted) {
        return QString();
    }
    const QStringList chosen = dialog.selectedFiles();
    return chosen.isEmpty() ? QString() : chosen.first();
}

}  // namespace

QString DesktopPrompts::GetOpenFileName(QWidget* owner, const FileDialogSpec& spec) {
    QFileDialog dialog(owner, QString(), spec.start);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    return Run(dialog, spec);
}

// The dialog adds the default suffix before it asks about an existing file,
// so its question is about the file that will be written.
QString DesktopPrompts::GetSaveFileName(QWidget* owner, const FileDialogSpec& spec) {
    QFileDialog dialog(owner, QString(), spec.start);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDefaultSuffix(spec.defaultSuffix);
    return Run(dialog, spec);
}

void DesktopPrompts::ShowMessageBox(QWidget* owner, const QString& caption, const QString& text,
                                    const QString& details) {
    QMessageBox box(QMessageBox::Warning, caption, text, QMessageBox::Ok, owner);
    box.setTextFormat(Qt::PlainText);
    box.setInformativeText(details);
    box.exec();
}

ReplaceChoice DesktopPrompts::AskToReplace(QWidget* owner, const QString& caption,
                                           const QString& text, const QString& details) {
    QMessageBox box(QMessageBox::Warning, caption, text, QMessageBox::NoButton, owner);
    box.setTextFormat(Qt::PlainText);
    box.setInformativeText(details);
    const QPushButton* replace =
        box.addButton(QString::fromLatin1(kReplaceButton), QMessageBox::DestructiveRole);
    QPushButton* elsewhere =
        box.addButton(QString::fromLatin1(kSaveElsewhereButton), QMessageBox::AcceptRole);
    box.addButton(QMessageBox::Cancel);
    // Enter keeps the earlier file; only a deliberate click replaces it.
    box.setDefaultButton(elsewhere);
    box.exec();
    if (box.clickedButton() == replace) {
        return ReplaceChoice::Replace;
    }
    if (box.clickedButton() == elsewhere) {
        return ReplaceChoice::SaveElsewhere;
    }
    return ReplaceChoice::Cancel;
}

void DesktopPrompts::RunModal(QDialog& dialog) {
    dialog.exec();
}

QAction* DesktopPrompts::PopupMenu(QMenu& menu, const QPoint& globalPosition) {
    return menu.exec(globalPosition);
}

bool DesktopPrompts::OpenFolder(const QString& folder) {
    return QDesktopServices::openUrl(QUrl::fromLocalFile(folder));
}

}  // namespace morvane::app
