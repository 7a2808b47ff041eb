#pragma once
// The command-line tool's own words. What the core reports is worded by the
// core (common/messages.h), and so is what kind of state a file holds
// (StateFormatText).

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

}  // namespace morvane::cli
