#pragma once
// The command-line tool's own words: what kind of state a file holds. What
// the core reports is worded by the core (common/messages.h).

#include <string>
#include <string_view>

#include "common/messages.h"
#include "savestate/save_state_image.h"

namespace morvane::cli {

// What kind of state the image was loaded from, e.g. "Project64, 64-bit
// layout, 8 MiB RDRAM, zipped".
std::string FormatText(const SaveStateImage& image);

}  // namespace morvane::cli
