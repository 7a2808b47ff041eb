#pragma once
// The command-line tool's words for everything the core reports.

#include <string>
#include <string_view>

#include "common/error.h"
#include "savestate/save_state_image.h"

namespace morvane::cli {

std::string_view MessageText(Error error);
std::string_view StatusText(Status status);

// What kind of state the image was loaded from, e.g. "Project64, 64-bit
// layout, 8 MiB RDRAM, zipped".
std::string FormatText(const SaveStateImage& image);

}  // namespace morvane::cli
