#pragma once
// The line at the bottom of the main window: what the window last opened,
// wrote or saved, naming its file. Where the line does not fit, the folder
// gives way first, then the words after the name, then the words before it;
// the name itself never does. The tooltip holds it all, the whole path
// included, and the context menu copies the path or opens its folder.
//
//   before      "Wrote ", "Opened ", "Saved "
//   path        the file; shown with its folder, or by its name alone
//   after       " (colours quantised)", ": Project64, classic layout, ..."

#include <QLabel>
#include <QString>
#include <filesystem>

namespace morvane::app {

class Prompts;

class CPathLine final : public QLabel {
    Q_OBJECT
public:
    CPathLine(Prompts& prompts, QWidget* parent);

    enum class Folder { Shown, Hidden };
    void SetLine(const QString& before, const std::filesystem::path& path, Folder folder,
                 const QString& after, const QString& toolTip);
    void Clear();

    // The file the line names, as the user reads it; empty when none.
    const QString& Path() const { return m_path; }

    // The line as it fits `width` pixels in `metrics`.
    static QString Fitted(const QFontMetrics& metrics, int width, const QString& before,
                          const QString& folder, const QString& name, const QString& after);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void Refit();
    void OnContextMenu(const QPoint& position);

    Prompts& m_prompts;
    QString m_path;
    QString m_before;
    QString m_folder;  // with its trailing separator; empty when hidden
    QString m_name;
    QString m_after;
};

}  // namespace morvane::app
