#pragma once
// The command-line tool's words for everything the core reports.

#include <string_view>

#include "common/error.h"

namespace morvane::cli {

std::string_view MessageText(Error error);
std::string_view StatusText(Status status);

}  // namespace morvane::cli
