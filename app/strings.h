#pragma once
// Every word the desktop application shows, in one place: its string table
// and its fixed texts. What the core reports is worded by the core
// (common/messages.h); these turn its words into QStrings.

#include <sys/types.h>

#include <QString>
#include <cstdint>
#include <span>

#include "common/error.h"

namespace morvane::app {

// The string resource `id` (IDS_*); empty for a number that names none.
QString StringResource(int id);

QString MessageText(Error error);
// A refusal of a file with what it names ("…two entries named GOLDENEYE.dat").
QString RefusalText(Error error, const RefusalDetail& detail);
QString StatusText(Status status);
// "Extracted %d textures", with the count.
QString ExtractedText(int count);
QString NoTexturesFoundText();
// "records 2, 5, 7-12".
QString RecordsText(std::span<const int32_t> records);
// "a folder", "a FIFO", ...: what stands where a file was wanted.
QString FileKindText(mode_t fileType);

// The caption of every message box and question.
extern const char kApplicationName[];

extern const char kMainTitle[];
extern const char kTemplateTitle[];
extern const char kBrowseCaption[];
extern const char kTemplateOkCaption[];
extern const char kExitCaption[];
extern const char kNotEnoughMemory[];

extern const char kAboutTitle[];
extern const char kAboutVersionLine[];
extern const char kAboutEditionLine[];
extern const char kAboutFileVersionLine[];  // "%1" is the version block's FileVersion
extern const char kOkCaption[];

extern const char kPopupTitle[];
extern const char kSaveAsBitmap[];
extern const char kSaveAsTexture[];
extern const char kReplaceTexture[];
extern const char kSaveAsPng[];
extern const char kRevertFace[];
extern const char kCompareFace[];
extern const char kPastePicture[];

// The bottom line's context menu.
extern const char kCopyPath[];
extern const char kOpenContainingFolder[];
extern const char kCouldNotOpenFolder[];

// The view that compares a face before and after this session's change.
extern const char kCompareTitle[];  // the record
extern const char kAsOpened[];
extern const char kAsItIsNow[];
extern const char kCloseCaption[];

// File dialogs' filters.
extern const char kPictureFilters[];
extern const char kBitmapFilters[];
extern const char kPngFilters[];
extern const char kTextureFilters[];
extern const char kStateFilters[];

// What the window adds to the core's words: beneath a message, on the second
// status line, in a question and in a thumbnail's tooltip. "%1" and on are
// filled in where they are used.
extern const char kWrote[];      // the bottom line's words before the path
extern const char kWrotePath[];  // the path
extern const char kColoursReducedExactly[];
extern const char kColoursQuantised[];
extern const char kOpened[];            // the bottom line's words before the state's name
extern const char kOpenedKind[];        // the format: line, the release, the faces
extern const char kOpenedToolTip[];     // the path, the format: line, the release, the faces
extern const char kSaved[];             // the bottom line's words before the export's path
extern const char kSavedPath[];         // the path
extern const char kSavedBeside[];       // the texture file's name, beside a bitmap
extern const char kClipboardPicture[];  // the picture's name when it came from the clipboard
extern const char kNotASaveState[];     // the path, what it is ("a folder")
extern const char kNotARegularFile[];   // the path, what it is
extern const char kNothingWritten[];
extern const char kRecordDetails[];      // the record
extern const char kDropOntoAFace[];
extern const char kOpenAStateFirst[];
extern const char kNothingToPaste[];
extern const char kSelectAFaceToPaste[];
extern const char kIsTheState[];                  // the path
extern const char kIsThePicture[];                // the path
extern const char kOutputExists[];                // the file's name
extern const char kOutputExistsDetails[];         // its date, its folder
extern const char kTextureBesideExistsDetails[];  // its date, its folder
extern const char kReplaceButton[];
extern const char kSaveElsewhereButton[];

// What `morvane-cli list` prints of a face, and the name export gives it.
QString FaceToolTip(int32_t record, uint16_t identifier, uint32_t address);
// The lines a face's tooltip ends with when it cannot be read, or has
// changed since the state was opened.
extern const char kUnreadableFace[];
extern const char kChangedFace[];

// "8 faces", "1 face".
QString FacesText(int count);

}  // namespace morvane::app
