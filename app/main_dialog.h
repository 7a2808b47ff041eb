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
// and, beneath them all, the line that names the file the window last opened,
// wrote or saved:              11, 222, 193, 8   (the window 215 x 233)
//
// The window starts at that size and may grow: the gallery takes what it
// gains, the buttons keep to the bottom right corner, and the instructions and
// the bottom line to the bottom.

#include <QDialog>
#include <QIcon>
#include <QImage>
#include <QList>
#include <QSize>
#include <array>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>

#include "catalogue/user_interface.h"
#include "texture/colour_reduction.h"

class QLabel;
class QPushButton;
class QResizeEvent;

namespace morvane {
struct Session;
}

namespace morvane::app {

class CPathLine;
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
    void ReplaceTexture(int32_t record);
    // Replaces the texture with the picture at `path`, as a double-click does
    // once the user has chosen it.
    void ReplaceTextureFrom(int32_t record, const QString& path);

    // export_commands.cpp, with the popup menu that reaches every command.

    void OnSaveAsBitmap();
    void OnSaveAsTexture();
    void OnSaveAsPng();

    // face_commands.cpp: beyond the popup menu's first commands.

    // Puts the selected face back as the state was opened, and writes the
    // output again as a replacement does.
    void OnRevertFace();
    // Shows the selected face large, as opened and as it is now.
    void OnCompareFace();
    // Replaces the selected face with the picture on the clipboard.
    void OnPaste();

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
    void resizeEvent(QResizeEvent* event) override;

    // drag_and_drop.cpp: what a dropped file holds decides: a state loads as
    // Browse would, wherever it lands; a picture replaces the face it lands
    // on, or else the selected face.
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
#ifdef Q_OS_WIN
    bool nativeEvent(const QByteArray& eventType, void* message, qintptr* result) override;
#endif

private:
    // The kinds of file whose dialogs each start in the folder last used for
    // them, within the run.
    enum class FileKind { State, Picture, Export };

    void DoDataExchange();
    // Places the controls for the window's size (main_dialog.cpp).
    void LayOut();
    void CreateShortcuts();
    void CreateImageList();
    void ShowAboutBox();
    void OnRclickTextureList(const QPoint& position);
    // Runs one of the core's export flows on the selected texture, at a path
    // that the user chooses, and says on the bottom line what it saved.
    using SaveFlow = Error (*)(const Session&, int32_t, const std::filesystem::path&);
    void SaveSelectedTexture(SaveFlow save, const char* filters, const char* suffix);
    // The record the selected thumbnail carries, or -1 when none is selected.
    int32_t SelectedRecord() const;
    // Whether the picture would be taken for the record, before anything is
    // asked or written: the refusal, shown, or None.
    Error JudgePicture(int32_t record, std::span<const uint8_t> picture,
                       const std::filesystem::path& file);
    // Replaces the record's face with the picture file's bytes (read from
    // `file`, or the clipboard's when `file` is empty): judged first, then the
    // question about an earlier output, then the write.
    void ReplaceWithPicture(int32_t record, std::span<const uint8_t> picture,
                            const std::filesystem::path& file);
    // After a flow that wrote the output (or failed to): the line, the
    // message, and the gallery at the changed face, as it was scrolled.
    void Written(Error result, int reason, int32_t record, const std::filesystem::path& picture,
                 const QString& pictureName, Reduction reduction);
    // Before the first write of a session to an output that exists already:
    // asks, and may move the output elsewhere (never onto the state or the
    // `picture` that goes in). False when nothing is to be written.
    bool MayWriteOutput(const std::filesystem::path& picture);
    // Asks before `file` is replaced, when there is one: its name, with
    // `details` given its date and folder. Replace when there is none.
    ReplaceChoice AskBeforeReplacing(const std::filesystem::path& file, const char* details);
    // What goes beneath a refusal of a command on `record`: the file it is
    // about (`file`, a picture or an output; none for the clipboard's
    // picture) and what the system or the hint says of it, from the
    // picture's bytes when given. `reason` is errno after a failed write.
    QString DetailsFor(Error error, int32_t record, const std::filesystem::path& file, int reason,
                       std::span<const uint8_t> picture = {}) const;
    // The path written, with the picture that went in (its name: a path, or
    // the clipboard's) and how its colours were made to fit.
    void ShowWritten(const std::filesystem::path& path, const QString& picture,
                     Reduction reduction);
    // The state just opened, its kind, release and faces.
    void ShowOpened();
    void Tell(const QString& text, const QString& details = QString());
    // What goes beneath a refusal of the state being opened.
    QString LoadingDetails(Error message) const;
    // The folder a file dialog of this kind starts in, and the one to
    // remember once a file of the kind has been chosen.
    QString StartFolder(FileKind kind) const;
    void RememberFolder(FileKind kind, const QString& file);

    Prompts& m_prompts;
    std::unique_ptr<Session> m_session;
    QPushButton* m_browse = nullptr;
    QPushButton* m_exit = nullptr;
    QLabel* m_status = nullptr;
    QLabel* m_instructions = nullptr;
    CPathLine* m_written = nullptr;
    CTextureList* m_textureList = nullptr;
    QIcon m_hIcon;
    QList<QImage> m_imageList;
    // The file that the core's messages are about while a load runs.
    QString m_loading;
    // This session (since the last load) may write over its output.
    bool m_outputConfirmed = false;
    // A rebuild of the gallery keeps its place: the faces are the same, one
    // of them changed.
    bool m_keepGalleryPlace = false;
    // The size the window starts at, its template's; it grows from there.
    QSize m_startSize;
    // Each kind's folder last used; empty until one has been.
    std::array<QString, 3> m_lastFolders;
};

}  // namespace morvane::app
