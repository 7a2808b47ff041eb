#pragma once
// morvane-cli: the command-line front end.

#include <iosfwd>
#include <string>
#include <vector>

namespace morvane::cli {

// Runs one command line (without the program name) and returns the exit
// status: 0 done, 1 refused, 2 usage error.
int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace morvane::cli
