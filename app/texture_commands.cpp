// The commands on one texture of the gallery: replace it with a picture, or
// export it as a bitmap, a PNG or a texture file.

#include <QDateTime>
#include <QFileInfo>
#include <QLabel>
#include <QListWidgetItem>
#include <QMenu>
#include <cerrno>
#include <cstring>

#include "app/main_dialog.h"
#include "app/prompts.h"
#include "app/resource_ids.h"
#include "app/strings.h"
#include "app/texture_gallery.h"
#include "catalogue/session.h"
#include "catalogue/texture_commands.h"
#include "common/file_io.h"
#include "texture/picture_hint.h"

namespace morvane::app {
namespace {

int32_t RecordOf(const QListWidgetItem& item) {
    return item.data(kRecordRole).toInt();
}

std::filesystem::path WithSuffix(const std::filesystem::path& path, const char* suffix) {
    std::filesystem::path result = path;
    result += suffix;
    return result;
}

// The extension a state's output keeps, for a name typed without one: a
// zipped or gzipped state's two (pj.zip), else its last.
QString StateSuffix(const QString& output) {
    const QFileInfo info(output);
    const QString last = info.suffix();
    const QString before = QFileInfo(info.completeBaseName()).suffix();
    const bool container = last.compare(QLatin1String("zip"), Qt::CaseInsensitive) == 0 ||
                           last.compare(QLatin1String("gz"), Qt::CaseInsensitive) == 0;
    return container && !before.isEmpty() ? before + QLatin1Char('.') + last : last;
}

}  // namespace

void CMainDialog::OnDblclkTextureList() {
    OnReplaceTexture();
}

void CMainDialog::OnReplaceTexture() {
    const int mark = SelectionMark();
    if (mark < 0) {
        return;
    }
    ReplaceTexture(RecordOf(*m_textureList->item(mark)));
}

void CMainDialog::ReplaceTexture(int32_t record) {
    const QString chosen = m_prompts.GetOpenFileName(
        this, FileDialogSpec{QString::fromLatin1(kPictureFilters), QString(), QString()});
    if (chosen.isEmpty()) {
        return;
    }
    ReplaceTextureFrom(record, chosen);
}

void CMainDialog::ReplaceTextureFrom(int32_t record, const QString& path) {
    const std::filesystem::path picture = PathFromDialog(path);
    if (!MayWriteOutput(picture)) {
        return;
    }
    // On success the extraction pass has run again and rebuilt the gallery.
    Reduction reduction = Reduction::None;
    const Error result =
        morvane::ReplaceTexture(*m_session, *this, record, picture, {false, &reduction});
    const int reason = errno;
    if (result == Error::None) {
        m_outputConfirmed = true;
        ShowWritten(m_session->OutputStatePath, picture, reduction);
        return;
    }
    const bool notWritten =
        result == Error::CouldNotWriteSaveState || result == Error::OutputFolderMoved;
    const bool aboutTheOutput = notWritten || result == Error::OutputOverwritesInput;
    QString details =
        DetailsFor(result, record, aboutTheOutput ? m_session->OutputStatePath : picture, reason);
    if (notWritten) {
        // The core has put the face back: the line goes on naming the file
        // last written, which still holds everything the gallery shows.
        details += QLatin1Char('\n') + QString::fromLatin1(kNothingWritten);
    }
    Tell(MessageText(result), details);
}

bool CMainDialog::MayWriteOutput(const std::filesystem::path& picture) {
    const std::filesystem::path& output = m_session->OutputStatePath;
    // Once this session has written its output, or the user has said that
    // it may, later replacements go there without a word. The write itself
    // refuses an output that is the state, or that no file can replace (a
    // folder). A link at the name, even one that leads nowhere, is asked
    // about like a file: the write would replace it.
    std::error_code unseen;
    const std::filesystem::file_status standing = std::filesystem::symlink_status(output, unseen);
    if (m_outputConfirmed ||
        (!std::filesystem::is_regular_file(standing) && !std::filesystem::is_symlink(standing)) ||
        SameFile(output, m_session->statePath)) {
        return true;
    }
    // It may hold an earlier session's replacements, which this session's
    // image does not: writing over it would lose them.
    const ReplaceChoice choice = AskBeforeReplacing(output, kOutputExistsDetails);
    if (choice == ReplaceChoice::Replace) {
        m_outputConfirmed = true;
        return true;
    }
    if (choice == ReplaceChoice::Cancel) {
        return false;
    }
    // The Save As dialog asks itself before it lets the user pick a file
    // that exists.
    const QString shown = PathForDisplay(output);
    const QString chosen = m_prompts.GetSaveFileName(
        this, FileDialogSpec{QString::fromLatin1(kStateFilters), StateSuffix(shown), shown});
    if (chosen.isEmpty()) {
        return false;
    }
    const std::filesystem::path elsewhere = PathFromDialog(chosen);
    // An input is never an output, even when the user picks it.
    if (SameFile(elsewhere, m_session->statePath) || SameFile(elsewhere, picture)) {
        Tell(MessageText(Error::OutputOverwritesInput),
             DetailsFor(Error::OutputOverwritesInput, 0, elsewhere, 0));
        return false;
    }
    m_session->OutputStatePath = elsewhere;
    m_outputConfirmed = true;
    return true;
}

QString CMainDialog::DetailsFor(Error error, int32_t record, const std::filesystem::path& file,
                                int reason) const {
    const QString shown = PathForDisplay(file);
    switch (error) {
        // About the texture that the record names, whatever the picture.
        case Error::NoFaceTexture:
        case Error::MemoryAllocationFailure:
        case Error::TextureTooSmall:
        case Error::TooSmallForPicture:
            return QString::fromLatin1(kRecordDetails).arg(record);
        case Error::CouldNotWriteSaveState:
        case Error::CouldNotWriteFile:
        case Error::OutputChanged: {
            // A write refused before it began leaves the system nothing to
            // say; what stands at the path says why.
            const OutputCheck check = CheckOutputPath(file);
            if (reason == 0 && check.refusal == OutputRefusal::NotARegularFile) {
                return QString::fromLatin1(kNotARegularFile)
                    .arg(shown, FileKindText(check.fileType));
            }
            const int why = reason != 0 ? reason : check.error;
            if (why == 0) {
                return shown;
            }
            return shown + QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(why));
        }
        case Error::OutputOverwritesInput:
            return QString::fromLatin1(SameFile(file, m_session->statePath) ? kIsTheState
                                                                            : kIsThePicture)
                .arg(shown);
        case Error::OutputFolderMoved:
            return shown;
        default:
            break;
    }
    // A refused picture: its name, and what would be taken instead.
    const std::string hint = PictureHintText(error, file);
    return hint.empty() ? shown : shown + QLatin1Char('\n') + QString::fromStdString(hint);
}

void CMainDialog::ShowWritten(const std::filesystem::path& path,
                              const std::filesystem::path& picture, Reduction reduction) {
    if (path.empty()) {
        m_written->clear();
        m_written->setToolTip(QString());
        return;
    }
    // The whole path where it fits; else its middle gives way, and the
    // tooltip holds it whole, with how the picture's colours were made to
    // fit, if they were.
    const QString wrote = QString::fromLatin1(kWrotePath).arg(PathForDisplay(path));
    QString text = wrote;
    QString tip = wrote;
    const std::string reduced = ReductionText(reduction, false);
    if (!reduced.empty()) {
        text = QString::fromLatin1(kWrotePathReduced)
                   .arg(wrote,
                        QString::fromLatin1(reduction == Reduction::Exact ? kColoursReducedExactly
                                                                          : kColoursQuantised));
        tip += QLatin1Char('\n') + QFileInfo(PathForDisplay(picture)).fileName() +
               QStringLiteral(": ") + QString::fromStdString(reduced);
    }
    m_written->setText(
        m_written->fontMetrics().elidedText(text, Qt::ElideMiddle, m_written->width()));
    m_written->setToolTip(tip);
}

void CMainDialog::OnSaveAsBitmap() {
    SaveSelectedTexture(&SaveAsBitmap, kBitmapFilters, "bmp");
}

void CMainDialog::OnSaveAsTexture() {
    SaveSelectedTexture(&SaveAsTexture, kTextureFilters, "tex");
}

void CMainDialog::OnSaveAsPng() {
    SaveSelectedTexture(&SaveAsPng, kPngFilters, "png");
}

void CMainDialog::SaveSelectedTexture(SaveFlow save, const char* filters, const char* suffix) {
    const int mark = SelectionMark();
    if (mark < 0) {
        return;
    }
    const int32_t record = RecordOf(*m_textureList->item(mark));
    QString start;
    std::filesystem::path path;
    for (;;) {
        const QString chosen = m_prompts.GetSaveFileName(
            this, FileDialogSpec{QString::fromLatin1(filters), QString::fromLatin1(suffix), start});
        if (chosen.isEmpty()) {
            return;
        }
        path = PathFromDialog(chosen);
        // The file dialog asked about the bitmap; its texture file goes
        // beside it under a name the user never saw, and may be earlier work.
        const ReplaceChoice choice =
            save == &SaveAsBitmap
                ? AskBeforeReplacing(WithSuffix(path, ".tex"), kTextureBesideExistsDetails)
                : ReplaceChoice::Replace;
        if (choice == ReplaceChoice::Replace) {
            break;
        }
        if (choice == ReplaceChoice::Cancel) {
            return;
        }
        start = chosen;
    }
    // The open state is an input: no export is written over it, under
    // either of a bitmap's two names.
    if (SameFile(path, m_session->statePath) ||
        (save == &SaveAsBitmap && SameFile(WithSuffix(path, ".tex"), m_session->statePath))) {
        Tell(MessageText(Error::OutputOverwritesInput),
             DetailsFor(Error::OutputOverwritesInput, record, m_session->statePath, 0));
        return;
    }
    errno = 0;
    const Error result = save(*m_session, record, path);
    const int reason = errno;
    if (result != Error::None) {
        Tell(MessageText(result), DetailsFor(result, record, path, reason));
    }
}

ReplaceChoice CMainDialog::AskBeforeReplacing(const std::filesystem::path& file,
                                              const char* details) {
    std::error_code unseen;
    if (!std::filesystem::exists(std::filesystem::symlink_status(file, unseen))) {
        return ReplaceChoice::Replace;
    }
    const QString shown = PathForDisplay(file);
    const QFileInfo info(shown);
    return m_prompts.AskToReplace(
        this, QString::fromLatin1(kApplicationName),
        QString::fromLatin1(kOutputExists).arg(info.fileName()),
        QString::fromLatin1(details).arg(
            info.lastModified().toString(QStringLiteral("yyyy-MM-dd HH:mm")), info.absolutePath()));
}

// The popup "Tex View Popup" over a thumbnail is how the user reaches the
// commands; over the list's empty space there is nothing to act on.
void CMainDialog::OnRclickTextureList(const QPoint& position) {
    QListWidgetItem* item = m_textureList->itemAt(position);
    if (item == nullptr) {
        return;
    }
    m_textureList->setCurrentItem(item, QItemSelectionModel::ClearAndSelect);

    QMenu menu(QString::fromLatin1(kPopupTitle), this);
    menu.setObjectName(QStringLiteral("texViewPopup"));
    menu.addAction(QString::fromLatin1(kSaveAsBitmap))->setData(ID_SAVE_AS_BITMAP);
    menu.addAction(QString::fromLatin1(kSaveAsTexture))->setData(ID_SAVE_AS_TEXTURE);
    // The PNG that export writes and Replace takes back as it is.
    menu.addAction(QString::fromLatin1(kSaveAsPng))->setData(ID_SAVE_AS_PNG);
    menu.addSeparator();
    menu.addAction(QString::fromLatin1(kReplaceTexture))->setData(ID_REPLACE_TEXTURE);

    const QAction* chosen =
        m_prompts.PopupMenu(menu, m_textureList->viewport()->mapToGlobal(position));
    if (chosen == nullptr) {
        return;
    }
    switch (chosen->data().toInt()) {
        case ID_SAVE_AS_BITMAP:
            OnSaveAsBitmap();
            break;
        case ID_SAVE_AS_TEXTURE:
            OnSaveAsTexture();
            break;
        case ID_SAVE_AS_PNG:
            OnSaveAsPng();
            break;
        case ID_REPLACE_TEXTURE:
            OnReplaceTexture();
            break;
        default:
            break;
    }
}

}  // namespace morvane::app
