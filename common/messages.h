#pragma once
// The words for everything the core reports: the one place that holds them.
// The desktop application shows them in its message boxes and status line,
// the command-line tool on standard error, each adding its own context.

#include <sys/types.h>

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "common/error.h"

namespace morvane {

// messages.cpp

std::string_view MessageText(Error error);
// A refusal of a file with what it names: "The archive holds two entries named
// GOLDENEYE.dat" rather than the bare MessageText, when the detail has a name.
std::string RefusalText(Error error, const RefusalDetail& detail);
std::string_view StatusText(Status status);

// "Extracted %d textures", with the count: what a pass that found faces shows.
std::string ExtractedText(int count);
// What a pass that found none shows.
std::string_view NoTexturesFoundText();

// Record indices, ascending, as "record 4" or "records 2, 5, 7-12": what a
// message about several records names them by.
std::string RecordsText(std::span<const int32_t> records);

// What a file that is not a regular file is, from its S_IFMT bits: "a folder",
// "a FIFO", "a character device", ...: why a state or an output is refused.
std::string FileKindText(mode_t fileType);

}  // namespace morvane
