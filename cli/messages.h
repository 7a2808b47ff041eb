#pragma once
// The command-line tool's words for everything the core reports.

#include <string>
#include <string_view>

#include "common/error.h"
#include "common/file_io.h"
#include "savestate/save_state_image.h"

namespace morvane::cli {

std::string_view MessageText(Error error);
std::string_view StatusText(Status status);

// Why an output path is refused, for the line after the refusal itself, e.g.
// "out.pj is a FIFO, not a regular file: it is left as it is".
std::string OutputRefusalText(const std::string& path, const OutputCheck& check);

// What kind of state the image was loaded from, e.g. "Project64, 64-bit
// layout, 8 MiB RDRAM, zipped".
std::string FormatText(const SaveStateImage& image);

}  // namespace morvane::cli
