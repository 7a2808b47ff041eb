#include "app/main_dialog.h"

#include <QContextMenuEvent>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QShortcut>
#include <QTimer>

#include "app/about_dialog.h"
#include "app/dialog_units.h"
#include "app/file_reasons.h"
#include "app/path_line.h"
#include "app/prompts.h"
#include "app/resource_ids.h"
#include "app/strings.h"
#include "app/texture_gallery.h"
#include "catalogue/extract_textures.h"
#include "catalogue/session.h"

#ifdef Q_OS_WIN
#include "app/system_menu.h"
#endif

namespace morvane::app {

CMainDialog::CMainDialog(Prompts& prompts, QWidget* parent)
    : QDialog(parent), m_prompts(prompts), m_session(std::make_unique<Session>()) {
    setObjectName(QStringLiteral("mainDialog"));
    // A frame with a close box and no minimise or maximise box; its edges
    // resize it.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setFont(TemplateFont());
    setWindowTitle(QString::fromLatin1(kTemplateTitle));
    DoDataExchange();
    m_hIcon.addFile(QStringLiteral(":/morvane-32.png"), QSize(32, 32));
    m_hIcon.addFile(QStringLiteral(":/morvane-16.png"), QSize(16, 16));
}

CMainDialog::~CMainDialog() = default;

// Makes the template's controls, in its order, which is also the tab order,
// and binds them to the members.
void CMainDialog::DoDataExchange() {
    const DialogBaseUnits units = BaseUnitsFor(font());

    m_browse = new QPushButton(QString::fromLatin1(kTemplateOkCaption), this);
    m_browse->setObjectName(QStringLiteral("browseButton"));
    m_browse->setDefault(true);
    connect(m_browse, &QPushButton::clicked, this, &CMainDialog::accept);

    m_exit = new QPushButton(QString::fromLatin1(kExitCaption), this);
    m_exit->setObjectName(QStringLiteral("exitButton"));
    connect(m_exit, &QPushButton::clicked, this, &CMainDialog::reject);

    m_instructions = new QLabel(this);
    m_instructions->setObjectName(QStringLiteral("instructions"));
    m_instructions->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_instructions->setWordWrap(true);
    m_instructions->setTextFormat(Qt::PlainText);

    m_textureList = new CTextureList(this);
    m_textureList->setObjectName(QStringLiteral("textureList"));
    m_textureList->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_textureList, &QListWidget::itemDoubleClicked, this,
            &CMainDialog::OnDblclkTextureList);
    connect(m_textureList, &QWidget::customContextMenuRequested, this,
            &CMainDialog::OnRclickTextureList);

    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("status"));
    m_status->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_status->setTextFormat(Qt::PlainText);

    // The status line keeps its own texts; the file that the window last
    // opened, wrote or saved is named on a line of its own.
    m_written = new CPathLine(m_prompts, this);
    m_written->setObjectName(QStringLiteral("writtenPath"));

    m_startSize = DialogUnitsToPixels(units, 215, 233);
    setMinimumSize(m_startSize);
    resize(m_startSize);
    LayOut();
    setAcceptDrops(true);
}

void CMainDialog::LayOut() {
    const DialogBaseUnits units = BaseUnitsFor(font());
    const int dx = qMax(0, width() - m_startSize.width());
    const int dy = qMax(0, height() - m_startSize.height());
    const auto at = [&units](int x, int y, int w, int h) {
        return DialogUnitsToPixels(units, x, y, w, h);
    };
    m_browse->setGeometry(at(152, 170, 50, 14).translated(dx, dy));
    m_exit->setGeometry(at(151, 190, 50, 14).translated(dx, dy));
    m_instructions->setGeometry(at(11, 171, 131, 48).translated(0, dy).adjusted(0, 0, dx, 0));
    m_textureList->setGeometry(at(9, 19, 188, 147).adjusted(0, 0, dx, dy));
    m_status->setGeometry(at(11, 6, 88, 8).adjusted(0, 0, dx, 0));
    m_written->setGeometry(at(11, 222, 193, 8).translated(0, dy).adjusted(0, 0, dx, 0));
    // Six to a row at the start, as many more as the width gained holds.
    m_textureList->SetColumns(kGalleryColumns + dx / kGalleryPitchX);
}

void CMainDialog::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    LayOut();
}

int CMainDialog::DoModal(const QString& state) {
    if (!OnInitDialog(state.isEmpty())) {
        return -1;
    }
    // Queued, so that it runs in the window's own loop: the window is on the
    // screen and owns any message box that the load shows.
    if (!state.isEmpty()) {
        QTimer::singleShot(0, this, [this, state] { LoadSaveStateFrom(state, Origin::Named); });
    }
    return exec();
}

bool CMainDialog::OnInitDialog(bool showAbout) {
    // The About entry: the system menu's where there is one, and always the
    // background's context menu and F1.
    const QString aboutEntry = StringResource(IDS_ABOUTBOX);
    if (!aboutEntry.isEmpty()) {
#ifdef Q_OS_WIN
        AppendToSystemMenu(*this, IDM_ABOUTBOX, aboutEntry);
#endif
        auto* help = new QShortcut(QKeySequence(Qt::Key_F1), this);
        connect(help, &QShortcut::activated, this, [this] { OnSysCommand(IDM_ABOUTBOX); });
    }
    CreateShortcuts();

    // The window system draws the minimised icon and the drag image from these.
    setWindowIcon(m_hIcon);

    CreateImageList();

    if (!AllocateRdramImage()) {
        Tell(QString::fromLatin1(kNotEnoughMemory));
        return false;
    }

    m_browse->setText(QString::fromLatin1(kBrowseCaption));
    setWindowTitle(QString::fromLatin1(kMainTitle));
    m_instructions->setText(StringResource(IDS_INSTRUCTIONS_LOAD));
    m_browse->setFocus();

    if (showAbout) {
        ShowAboutBox();
    }
    return true;
}

bool CMainDialog::AllocateRdramImage() {
    return AllocateRdram(m_session->image);
}

void CMainDialog::CreateImageList() {
    m_imageList.clear();
    m_textureList->setItemDelegate(new CThumbnailDelegate(m_imageList, m_textureList));
}

void CMainDialog::CreateShortcuts() {
    const auto add = [this](const QKeySequence& keys, void (CMainDialog::*command)()) {
        auto* shortcut = new QShortcut(keys, this);
        connect(shortcut, &QShortcut::activated, this, command);
    };
    add(QKeySequence(Qt::Key_F2), &CMainDialog::OnReplaceTexture);
    add(QKeySequence::Open, &CMainDialog::OnOK);
    add(QKeySequence::Paste, &CMainDialog::OnPaste);
}

void CMainDialog::ShowAboutBox() {
    CAboutDialog about(this);
    m_prompts.RunModal(about);
}

void CMainDialog::OnSysCommand(unsigned nID) {
    if ((nID & kSystemCommandMask) == IDM_ABOUTBOX) {
        ShowAboutBox();
        return;
    }
    // What the window system would do by default; of its commands only Close
    // reaches the window through here.
    if ((nID & kSystemCommandMask) == SC_CLOSE_COMMAND) {
        close();
    }
}

void CMainDialog::contextMenuEvent(QContextMenuEvent* event) {
    const QString aboutEntry = StringResource(IDS_ABOUTBOX);
    if (aboutEntry.isEmpty()) {
        return;
    }
    QMenu menu(this);
    menu.setObjectName(QStringLiteral("systemMenu"));
    QAction* about = menu.addAction(aboutEntry);
    if (m_prompts.PopupMenu(menu, event->globalPos()) == about) {
        OnSysCommand(IDM_ABOUTBOX);
    }
}

#ifdef Q_OS_WIN
bool CMainDialog::nativeEvent(const QByteArray& eventType, void* message, qintptr* result) {
    unsigned command = 0;
    if (ReadSystemCommand(message, command) && (command & kSystemCommandMask) == IDM_ABOUTBOX) {
        OnSysCommand(command);
        *result = 0;
        return true;
    }
    return QDialog::nativeEvent(eventType, message, result);
}
#endif

void CMainDialog::accept() {
    OnOK();
}

void CMainDialog::reject() {
    OnCancel();
}

void CMainDialog::OnOK() {
    // Any file: a state's name says little of what it holds (.pj, .st0, .zip
    // or none at all), and the load looks at its bytes.
    const QString chosen = m_prompts.GetOpenFileName(
        this, FileDialogSpec{QString(), QString(), StartFolder(FileKind::State)});
    if (chosen.isEmpty()) {
        return;
    }
    LoadSaveStateFrom(chosen);
}

void CMainDialog::LoadSaveStateFrom(const QString& chosen, Origin origin) {
    // A refused state changes nothing: the earlier state, its gallery and
    // its output path stay, and so does the status line once the refusal has
    // been shown.
    const QString earlierStatus = m_status->text();
    m_loading = PathForDisplay(PathFromDialog(chosen));
    const OpenResult opened = OpenSaveState(*m_session, PathFromDialog(chosen), *this);
    m_loading.clear();
    // A file that the file dialog offered but that cannot be opened (it went
    // away, or may not be read) shows nothing: the user sees the dialog
    // close and can pick again. A name from outside the dialog gets its
    // reason, or the user is left with an empty window and no word.
    if (opened.read == Error::CouldNotOpenFile) {
        if (origin == Origin::Named) {
            const QString why = WhyNotOpened(chosen);
            Tell(MessageText(opened.read),
                 why.isEmpty() ? PathForDisplay(PathFromDialog(chosen)) : why);
        }
        return;
    }
    if (opened.read != Error::None) {
        m_loading = PathForDisplay(PathFromDialog(chosen));
        Tell(RefusalText(opened.read, opened.detail), LoadingDetails(opened.read));
        m_loading.clear();
        return;
    }
    if (!opened.accepted) {
        m_status->setText(m_session->image.loaded ? earlierStatus : NoTexturesFoundText());
        return;
    }
    // A new session: its output has not been written yet.
    m_outputConfirmed = false;
    RememberFolder(FileKind::State, chosen);
    ShowOpened();
    if (opened.shown != 0) {
        m_instructions->setText(StringResource(IDS_INSTRUCTIONS_REPLACE));
        m_status->setText(ExtractedText(opened.shown));
        // The keyboard goes to the faces, its place on the first: the first
        // arrow selects it. Enter still runs Browse.
        m_textureList->setFocus(Qt::OtherFocusReason);
    } else {
        m_status->setText(NoTexturesFoundText());
    }
}

void CMainDialog::OnCancel() {
    // Nothing is saved: every replacement has been written already.
    ByteBuffer().swap(m_session->image.RdramImage);
    ByteBuffer().swap(m_session->spare.RdramImage);
    QDialog::reject();
}

// The release and the faces come first, where the line shows them at any
// width; the kind of state after them gives way first.
void CMainDialog::ShowOpened() {
    const QString format = QString::fromStdString(StateFormatText(m_session->image));
    const QString release =
        m_session->release == Release::Ntsc ? QStringLiteral("NTSC") : QStringLiteral("PAL");
    const QString faces = FacesText(m_session->catalogue.shownCount);
    m_written->SetLine(QString::fromLatin1(kOpened), m_session->statePath,
                       CPathLine::Folder::Hidden,
                       QString::fromLatin1(kOpenedKind).arg(format, release, faces),
                       QString::fromLatin1(kOpenedToolTip)
                           .arg(PathForDisplay(m_session->statePath), format, release, faces));
}

void CMainDialog::ShowMessage(Error message) {
    // The core's refusals of a state come while it is being opened.
    Tell(MessageText(message), LoadingDetails(message));
}

QString CMainDialog::LoadingDetails(Error message) const {
    if (m_loading.isEmpty()) {
        return m_loading;
    }
    // The next step: what is read, or which release this is. The state
    // refused is the one read aside, in the spare image.
    const std::string hint = StateHintText(message, m_session->spare);
    return hint.empty() ? m_loading : m_loading + QLatin1Char('\n') + QString::fromStdString(hint);
}

void CMainDialog::ShowUnreadableRecords(std::span<const int32_t> records) {
    // One box for them all; a table can list hundreds.
    Tell(MessageText(Error::MemoryAllocationFailure),
         RecordsText(records) + QStringLiteral(": ") +
             QString::fromStdString(StateHintText(Error::MemoryAllocationFailure, m_session->image)));
}

QString CMainDialog::StartFolder(FileKind kind) const {
    return m_lastFolders[static_cast<size_t>(kind)];
}

void CMainDialog::RememberFolder(FileKind kind, const QString& file) {
    m_lastFolders[static_cast<size_t>(kind)] = QFileInfo(file).absolutePath();
}

void CMainDialog::SetStatus(Status status) {
    m_status->setText(StatusText(status));
}

void CMainDialog::Tell(const QString& text, const QString& details) {
    // The product's name: the executable's, in lower case, stays the
    // application's name, which the window system takes as the window's class.
    m_prompts.ShowMessageBox(this, QString::fromLatin1(kApplicationName), text, details);
}

}  // namespace morvane::app
