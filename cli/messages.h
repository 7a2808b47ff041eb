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

// What a file that is not a regular file is, from its S_IFMT bits: "a folder",
// "a FIFO", "a character device", ...
std::string FileKindText(mode_t fileType);

// One line after a picture's refusal that says what would be accepted
// instead, from the picture's own bytes: "It is a 24-bit bitmap: save it as
// PNG, or as an 8-bit (256-colour) bitmap." Empty when there is nothing to add.
std::string PictureHintText(Error refusal, std::span<const uint8_t> picture);

// What kind of state the image was loaded from, e.g. "Project64, 64-bit
// layout, 8 MiB RDRAM, zipped".
std::string FormatText(const SaveStateImage& image);

}  // namespace morvane::cli
