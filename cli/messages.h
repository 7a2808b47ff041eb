#pragma once
// The command-line tool's own words: what kind of state a file holds. What
// the core reports is worded by the core (common/messages.h).

#include <sys/types.h>

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "common/file_io.h"
#include "common/messages.h"
#include "savestate/save_state_image.h"

namespace morvane::cli {

// Why an output path is refused, for the line after the refusal itself, e.g.
// "out.pj is a FIFO, not a regular file: it is left as it is".
std::string OutputRefusalText(const std::string& path, const OutputCheck& check);

// What kind of state the image was loaded from, e.g. "Project64, 64-bit
// layout, 8 MiB RDRAM, zipped".
std::string FormatText(const SaveStateImage& image);

}  // namespace morvane::cli
