#pragma once
// The main window: one modal dialog with the Texture gallery, the status line,
// the instructions and the two buttons. It owns the session (the save-state
// image with its RDRAM buffer, the catalogue and the output path) and routes
// every user action to the core's flows.
//
// Template (dialog units: x, y, width, height), 215 x 223, tab order as listed:
//   IDOK "Browse" (default)   152, 170, 50, 14
//   IDCANCEL "Exit"           151, 190, 50, 14
//   1002 instructions         11, 171, 131, 48
//   1000 Texture gallery      9, 19, 188, 147
//   1003 status line          11, 6, 88, 8
// and, beneath them all, the line that names the file the last replacement
// wrote:                       11, 222, 193, 8   (the window 215 x 233)

#include <QDialog>
#include <QIcon>
#include <QImage>
#include <QList>
#include <cstdint>
#include <filesystem>
#include <memory>

#include "catalogue/user_interface.h"
#include "texture/colour_reduction.h"

class QLabel;
class QPushButton;

namespace morvane {
struct Session;
}

namespace morvane::app {

class CTextureList;
class Prompts;
enum class ReplaceChoice;

class CMainDialog : public QDialog, public UserInterface {
    Q_OBJECT
public:
    explicit CMainDialog(Prompts& prompts, QWidget* parent = nullptr);
    ~CMainDialog() override;

    // Initialises the window and runs it modally. QDialog::Rejected when it
    // has been closed; -1 when it could not start. A `state` (the command
    // line's, a file manager's) is loaded as Browse would load it, once the
    // window is shown, and the About box is left out: the user came for the
    // file.
    int DoModal(const QString& state = QString());

    // main_dialog.cpp

    // False when the RDRAM buffer cannot be had; the user has been told.
    bool OnInitDialog(bool showAbout = true);
    // The command value's low four bits are the system's own.
    void OnSysCommand(unsigned nID);
    // The load command, Browse. The window stays open.
    void OnOK();
    // Loads the state at `path` as Browse does once the user has chosen it.
    // A path named outside the file dialog (the command line, a drop) that
    // cannot be opened is said so, with the reason.
    enum class Origin { FileDialog, Named };
    void LoadSaveStateFrom(const QString& path, Origin origin = Origin::FileDialog);
    // Exit: releases the RDRAM buffer and closes the window.
    void OnCancel();

    // texture_commands.cpp

    void OnDblclkTextureList();
    void OnReplaceTexture();
    void OnSaveAsBitmap();
    void OnSaveAsTexture();
    void OnSaveAsPng();
    void ReplaceTexture(int32_t record);
    // Replaces the texture with the picture at `path`, as a double-click does
    // once the user has chosen it.
    void ReplaceTextureFrom(int32_t record, const QString& path);

    // texture_gallery.cpp

    void RebuildGallery(std::span<const ShownFace> faces) override;
    // The row of the selected thumbnail, or -1 when none is selected.
    int SelectionMark() const;

    // The core's messages and status, in the window's words.
    void ShowMessage(Error message) override;
    void ShowUnreadableRecords(std::span<const int32_t> records) override;
    void SetStatus(Status status) override;

    // Browse and Exit reach the load command and Exit through these, as Enter,
    // Esc and the close box do.
    void accept() override;
    void reject() override;

    const Session& session() const { return *m_session; }
    const QList<QImage>& imageList() const { return m_imageList; }

protected:
    // Takes the RDRAM buffer; a test replaces it to refuse.
    virtual bool AllocateRdramImage();

    void contextMenuEvent(QContextMenuEvent* event) override;

    // drag_and_drop.cpp: a state dropped on the window loads as Browse would;
    // a picture dropped on a thumbnail replaces that texture.
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
#ifdef Q_OS_WIN
    bool nativeEvent(const QByteArray& eventType, void* message, qintptr* result) override;
#endif

private:
    void DoDataExchange();
    void CreateImageList();
    void ShowAboutBox();
    void OnRclickTextureList(const QPoint& position);
    // Runs one of the core's export flows on the selected texture, at a path
    // that the user chooses.
    using SaveFlow = Error (*)(const Session&, int32_t, const std::filesystem::path&);
    void SaveSelectedTexture(SaveFlow save, const char* filters, const char* suffix);
    // Before the first write of a session to an output that exists already:
    // asks, and may move the output elsewhere (never onto the state or the
    // `picture` that goes in). False when nothing is to be written.
    bool MayWriteOutput(const std::filesystem::path& picture);
    // Asks before `file` is replaced, when there is one: its name, with
    // `details` given its date and folder. Replace when there is none.
    ReplaceChoice AskBeforeReplacing(const std::filesystem::path& file, const char* details);
    // What goes beneath a refusal of a command on `record`: the file it is
    // about (`file`, a picture or an output) and what the system or the hint
    // says of it. `reason` is errno after a failed write.
    QString DetailsFor(Error error, int32_t record, const std::filesystem::path& file,
                       int reason) const;
    // The path written, or none; with the picture that went in and how its
    // colours were made to fit.
    void ShowWritten(const std::filesystem::path& path, const std::filesystem::path& picture = {},
                     Reduction reduction = Reduction::None);
    void Tell(const QString& text, const QString& details = QString());

    Prompts& m_prompts;
    std::unique_ptr<Session> m_session;
    QPushButton* m_browse = nullptr;
    QPushButton* m_exit = nullptr;
    QLabel* m_status = nullptr;
    QLabel* m_instructions = nullptr;
    QLabel* m_written = nullptr;
    CTextureList* m_textureList = nullptr;
    QIcon m_hIcon;
    QList<QImage> m_imageList;
    // The file that the core's messages are about while a load runs.
    QString m_loading;
    // This session (since the last load) may write over its output.
    bool m_outputConfirmed = false;
};

}  // namespace morvane::app
