#include "app/strings.h"

#include "app/resource_ids.h"
#include "common/messages.h"

namespace morvane::app {

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

QString MessageText(Error error) {
    return FromCore(morvane::MessageText(error));
}

QString StatusText(Status status) {
    return FromCore(morvane::StatusText(status));
}

}  // namespace morvane::app
