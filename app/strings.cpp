#include "app/strings.h"

#include "app/resource_ids.h"

namespace morvane::app {

const char kMainTitle[] = "Morvane for Project 64";
const char kTemplateTitle[] = "Morvane for Nintendo 64";
const char kBrowseCaption[] = "Browse";
const char kTemplateOkCaption[] = "X";
const char kExitCaption[] = "Exit";
const char kNoTexturesFound[] = "No textures found!";
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

QString ExtractedText(int count) {
    return QString::asprintf("Extracted %d textures", count);
}

QString MessageText(Error error) {
    switch (error) {
        case Error::None: return QString();
        case Error::CouldNotOpenFile: return QStringLiteral("Could not open file.");
        case Error::FileTooLarge: return QStringLiteral("The file is too large");
        case Error::CouldNotWriteSaveState:
            return QStringLiteral("Could not write the save state.");
        case Error::CouldNotWriteFile: return QStringLiteral("Could not write the file.");
        case Error::StateTooShort:
            return QStringLiteral("The file is too short to be a save state");
        case Error::NotGoldeneye: return QStringLiteral("Not a valid Goldeneye PJ64 file");
        case Error::UnsupportedRegion: return QStringLiteral("Unsupported Goldeneye Region!");
        case Error::TextureTableNotValid: return QStringLiteral("The texture table is not valid");
        case Error::MemoryAllocationFailure: return QStringLiteral("Memory Allocation failure");
        case Error::DamagedArchive:
            return QStringLiteral("The save state's archive is damaged or cannot be read");
        case Error::NoStateInArchive:
            return QStringLiteral("The archive holds no Project64 save state");
        case Error::StateTooLarge:
            return QStringLiteral("The save state is larger than 64 MiB unpacked");
        case Error::UnsupportedRdramSize:
            return QStringLiteral("The save state's memory size is neither 4 nor 8 MiB");
        case Error::UnsupportedStateVersion:
            return QStringLiteral("The save state's version is not supported");
        case Error::NotABitmap: return QStringLiteral("The file was not a bitmap");
        case Error::Not256ColourBitmap:
            return QStringLiteral("The file was not a 256 colour bitmap");
        case Error::Not32x64Bitmap: return QStringLiteral("The file was not a 32x64 bitmap");
        case Error::CompressionNotSupported:
            return QStringLiteral("The file's compression is not supported");
        case Error::Invalid: return QStringLiteral("Invalid");
        case Error::TooManyColours:
            return QStringLiteral("The picture uses more colours than this texture can show");
        case Error::NotAPicture: return QStringLiteral("The file was not a bitmap");
        case Error::DamagedPng: return QStringLiteral("The PNG file is damaged");
        case Error::TextureTooSmall: return QStringLiteral("The texture is too small to replace");
        case Error::NoFaceTexture: return QStringLiteral("No face texture has that record index");
        case Error::OutputOverwritesInput:
            return QStringLiteral("The output would overwrite the input");
    }
    return QStringLiteral("Unknown error");
}

QString StatusText(Status status) {
    switch (status) {
        case Status::DetectedNtsc: return QStringLiteral("Detected Goldeneye NTSC");
        case Status::DetectedPal: return QStringLiteral("Detected Goldeneye PAL");
    }
    return QString();
}

}  // namespace morvane::app
