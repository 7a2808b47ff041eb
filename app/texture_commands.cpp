// Replacing a face: from a picture file the user chooses or drops, or from
// the clipboard's picture. Every picture is judged before anything is asked
// or written, and every write is said on the bottom line or in a message.

#include <QDateTime>
#include <QFileInfo>
#include <QListWidgetItem>
#include <cerrno>
#include <cstring>

#include "app/main_dialog.h"
#include "app/path_line.h"
#include "app/prompts.h"
#include "app/strings.h"
#include "app/texture_gallery.h"
#include "catalogue/session.h"
#include "catalogue/texture_commands.h"
#include "common/file_io.h"
#include "texture/picture_hint.h"

namespace morvane::app {
namespace {

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

int32_t CMainDialog::SelectedRecord() const {
    const int mark = SelectionMark();
    return mark < 0 ? -1 : m_textureList->item(mark)->data(kRecordRole).toInt();
}

void CMainDialog::OnDblclkTextureList() {
    OnReplaceTexture();
}

void CMainDialog::OnReplaceTexture() {
    const int32_t record = SelectedRecord();
    if (record < 0) {
        return;
    }
    ReplaceTexture(record);
}

void CMainDialog::ReplaceTexture(int32_t record) {
    const QString chosen =
        m_prompts.GetOpenFileName(this, FileDialogSpec{QString::fromLatin1(kPictureFilters),
                                                       QString(), StartFolder(FileKind::Picture)});
    if (chosen.isEmpty()) {
        return;
    }
    RememberFolder(FileKind::Picture, chosen);
    ReplaceTextureFrom(record, chosen);
}

void CMainDialog::ReplaceTextureFrom(int32_t record, const QString& path) {
    const std::filesystem::path picture = PathFromDialog(path);
    // The record first, whatever the picture; then a file that cannot be
    // read, or is far too large for a picture.
    std::vector<uint8_t> bytes;
    Error refusal = CheckReplaceable(*m_session, record);
    if (refusal == Error::None) {
        refusal = ReadPictureFile(picture, bytes);
    }
    if (refusal != Error::None) {
        Tell(MessageText(refusal), DetailsFor(refusal, record, picture, 0));
        return;
    }
    ReplaceWithPicture(record, bytes, picture);
}

Error CMainDialog::JudgePicture(int32_t record, std::span<const uint8_t> picture,
                                const std::filesystem::path& file) {
    // The core's own checks, on a copy: nothing changes yet.
    Error refusal = CheckReplaceable(*m_session, record);
    if (refusal == Error::None) {
        ReplacementBytes unused{};
        refusal = PrepareReplacementFromBytes(
            picture, m_session->catalogue.entries[static_cast<size_t>(record)], {}, unused);
    }
    if (refusal != Error::None) {
        Tell(MessageText(refusal), DetailsFor(refusal, record, file, 0, picture));
    }
    return refusal;
}

void CMainDialog::ReplaceWithPicture(int32_t record, std::span<const uint8_t> picture,
                                     const std::filesystem::path& file) {
    // A picture that will be refused is refused before anything is asked:
    // no question about an earlier output, no Save As dialog.
    if (JudgePicture(record, picture, file) != Error::None || !MayWriteOutput(file)) {
        return;
    }
    // On success the extraction pass has run again and rebuilt the gallery,
    // which keeps its place meanwhile. A file is read again by the core,
    // which refuses an output that is the picture.
    Reduction reduction = Reduction::None;
    m_keepGalleryPlace = true;
    errno = 0;
    const Error result =
        file.empty()
            ? morvane::ReplaceTexture(*m_session, *this, record, picture, {false, &reduction})
            : morvane::ReplaceTexture(*m_session, *this, record, file, {false, &reduction});
    const int reason = errno;
    m_keepGalleryPlace = false;
    const QString name = file.empty() ? QString::fromLatin1(kClipboardPicture)
                                      : QFileInfo(PathForDisplay(file)).fileName();
    Written(result, reason, record, file, name, reduction);
}

void CMainDialog::Written(Error result, int reason, int32_t record,
                          const std::filesystem::path& picture, const QString& pictureName,
                          Reduction reduction) {
    if (result == Error::None) {
        m_outputConfirmed = true;
        ShowWritten(m_session->OutputStatePath, pictureName, reduction);
        // Nothing is selected after the rebuild; the changed face keeps the
        // keyboard's place, and stays in view.
        for (int row = 0; row < m_textureList->count(); ++row) {
            if (m_textureList->item(row)->data(kRecordRole).toInt() == record) {
                m_textureList->setCurrentRow(row, QItemSelectionModel::NoUpdate);
                break;
            }
        }
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
    if (SameFile(elsewhere, m_session->statePath) ||
        (!picture.empty() && SameFile(elsewhere, picture))) {
        Tell(MessageText(Error::OutputOverwritesInput),
             DetailsFor(Error::OutputOverwritesInput, 0, elsewhere, 0));
        return false;
    }
    m_session->OutputStatePath = elsewhere;
    m_outputConfirmed = true;
    return true;
}

QString CMainDialog::DetailsFor(Error error, int32_t record, const std::filesystem::path& file,
                                int reason, std::span<const uint8_t> picture) const {
    // A picture without a file came from the clipboard.
    const QString shown =
        file.empty() ? QString::fromLatin1(kClipboardPicture) : PathForDisplay(file);
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
    const std::string hint =
        picture.empty() ? PictureHintText(error, file) : PictureHintText(error, picture);
    return hint.empty() ? shown : shown + QLatin1Char('\n') + QString::fromStdString(hint);
}

void CMainDialog::ShowWritten(const std::filesystem::path& path, const QString& picture,
                              Reduction reduction) {
    // The tooltip holds the whole path, with how the picture's colours were
    // made to fit, if they were.
    const QString wrote = QString::fromLatin1(kWrotePath).arg(PathForDisplay(path));
    QString after;
    QString tip = wrote;
    const std::string reduced = ReductionText(reduction, false);
    if (!reduced.empty()) {
        after = QStringLiteral(" (%1)").arg(QString::fromLatin1(
            reduction == Reduction::Exact ? kColoursReducedExactly : kColoursQuantised));
        tip += QLatin1Char('\n') + picture + QStringLiteral(": ") + QString::fromStdString(reduced);
    }
    m_written->SetLine(QString::fromLatin1(kWrote), path, CPathLine::Folder::Shown, after, tip);
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

}  // namespace morvane::app
