#pragma once
// Every word the desktop application shows, in one place: its string table
// and its fixed texts. What the core reports is worded by the core
// (common/messages.h); these turn its words into QStrings.

#include <QString>
#include <cstdint>
#include <span>

#include "common/error.h"

namespace morvane::app {

// The string resource `id` (IDS_*); empty for a number that names none.
QString StringResource(int id);

QString MessageText(Error error);
QString StatusText(Status status);
// "Extracted %d textures", with the count.
QString ExtractedText(int count);
QString NoTexturesFoundText();
// "records 2, 5, 7-12".
QString RecordsText(std::span<const int32_t> records);

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

}  // namespace morvane::app
