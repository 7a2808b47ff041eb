#include "app/strings.h"

#include "app/resource_ids.h"
#include "common/messages.h"

namespace morvane::app {

const char kApplicationName[] = "Morvane";

const char kMainTitle[] = "Morvane for Project 64";
const char kTemplateTitle[] = "Morvane for Nintendo 64";
const char kBrowseCaption[] = "Browse";
const char kTemplateOkCaption[] = "X";
const char kExitCaption[] = "Exit";
const char kNotEnoughMemory[] = "Not enough memory to start.";

const char kAboutTitle[] = "About Morvane";
const char kAboutVersionLine[] = "Morvane Version 1.0b";
const char kAboutEditionLine[] = "( Project 64 Version )";
const char kAboutFileVersionLine[] = "File version %1";
const char kOkCaption[] = "OK";

const char kPopupTitle[] = "Tex View Popup";
const char kSaveAsBitmap[] = "Save As Bitmap";
const char kSaveAsTexture[] = "Save As Texture";
const char kReplaceTexture[] = "Replace Texture";
const char kSaveAsPng[] = "Save As PNG";
const char kRevertFace[] = "Revert Face";
const char kCompareFace[] = "Compare Face";
const char kPastePicture[] = "Paste Picture";

const char kCopyPath[] = "Copy Path";
const char kOpenContainingFolder[] = "Open Containing Folder";
const char kCouldNotOpenFolder[] = "Could not open the folder.";

const char kCompareTitle[] = "Record %1, as opened and now";
const char kAsOpened[] = "As opened";
const char kAsItIsNow[] = "Now";
const char kCloseCaption[] = "Close";

const char kPictureFilters[] = "Pictures (*.png *.bmp);;All files (*)";
const char kBitmapFilters[] = "Bitmaps (*.bmp);;All files (*)";
const char kPngFilters[] = "PNG pictures (*.png);;All files (*)";
const char kTextureFilters[] = "Texture files (*.tex);;All files (*)";
const char kStateFilters[] = "All files (*)";

const char kWrote[] = "Wrote ";
const char kWrotePath[] = "Wrote %1";
const char kColoursReducedExactly[] = "colours reduced, exactly";
const char kColoursQuantised[] = "colours quantised";
const char kOpened[] = "Opened ";
const char kOpenedKind[] = ": %2, %3; %1";
const char kOpenedToolTip[] = "Opened %1\n%2\nGoldeneye %3, %4";
const char kSaved[] = "Saved ";
const char kSavedPath[] = "Saved %1";
const char kSavedBeside[] = " and %1";
const char kClipboardPicture[] = "the clipboard's picture";
const char kNotASaveState[] = "%1 is %2, not a save state.";
const char kNotARegularFile[] = "%1 is %2, not a regular file: it is left as it is.";
const char kNothingWritten[] =
    "Nothing was written: the face is as it was before, and the gallery shows what the last "
    "state written (or the state opened) holds.";
const char kRecordDetails[] = "record %1";
const char kDropOntoAFace[] = "Drop the picture onto a face";
const char kOpenAStateFirst[] = "Open a save state first: its faces appear in the gallery.";
const char kNothingToPaste[] = "The clipboard holds no picture";
const char kSelectAFaceToPaste[] = "Select the face to paste onto";
const char kIsTheState[] = "%1 is the open state, which is never written.";
const char kIsThePicture[] = "%1 is the picture.";
const char kOutputExists[] = "%1 already exists.";
const char kOutputExistsDetails[] =
    "It was changed on %1, in %2, and may hold the replacements of an earlier session.\n"
    "Replace it with this session's state, or save this session's state under another name?";
const char kTextureBesideExistsDetails[] =
    "The bitmap's texture file is saved beside it under this name. The file there was "
    "changed on %1, in %2.\nReplace it, or save the bitmap under another name?";
const char kReplaceButton[] = "Replace";
const char kSaveElsewhereButton[] = "Save As...";
const char kFaceToolTip[] = "record %1 (exported as %4)\nidentifier 0x%2\naddress 0x%3";
const char kUnreadableFace[] =
    "unreadable: its bytes lie past the end of memory or over another face";
const char kChangedFace[] = "changed since the state was opened";

QString StringResource(int id) {
    switch (id) {
        case IDS_ABOUTBOX:
            return QStringLiteral("&About Morvane...");
        case IDS_INSTRUCTIONS_LOAD:
            return QStringLiteral(
                "Click the browse button to load in your pj64 save state of Goldeneye ( you must "
                "be in a level ).  This will extract all face textures in use at that time.");
        case IDS_INSTRUCTIONS_REPLACE:
            return QStringLiteral(
                "Double-click the texture you want to replace and then browse to your bitmap. "
                "(This must be 32x64, 256 colour)  A new pj64 dump file will be created.");
        default:
            return QString();
    }
}

namespace {

QString FromCore(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

QString ExtractedText(int count) {
    return FromCore(morvane::ExtractedText(count));
}

QString NoTexturesFoundText() {
    return FromCore(morvane::NoTexturesFoundText());
}

QString RecordsText(std::span<const int32_t> records) {
    return QString::fromStdString(morvane::RecordsText(records));
}

QString FaceToolTip(int32_t record, uint16_t identifier, uint32_t address) {
    const auto hex = [](uint32_t value, int digits) {
        return QStringLiteral("%1").arg(value, digits, 16, QLatin1Char('0')).toUpper();
    };
    return QString::fromLatin1(kFaceToolTip)
        .arg(QString::number(record), hex(identifier, 4), hex(address, 8),
             QStringLiteral("tex_%1.png").arg(record, 3, 10, QLatin1Char('0')));
}

QString FacesText(int count) {
    return count == 1 ? QStringLiteral("1 face") : QStringLiteral("%1 faces").arg(count);
}

QString FileKindText(mode_t fileType) {
    return QString::fromStdString(morvane::FileKindText(fileType));
}

QString MessageText(Error error) {
    return FromCore(morvane::MessageText(error));
}

QString RefusalText(Error error, const RefusalDetail& detail) {
    return QString::fromStdString(morvane::RefusalText(error, detail));
}

QString StatusText(Status status) {
    return FromCore(morvane::StatusText(status));
}

}  // namespace morvane::app
