#pragma once
// Runs morvane-cli in-process and captures what it prints.

#include <sstream>
#include <string>
#include <vector>

#include "cli/cli.h"

namespace morvane::test {

struct ToolRun {
    int status;
    std::string out;
    std::string err;
};

inline ToolRun RunTool(const std::vector<std::string>& args) {
    std::ostringstream out;
    std::ostringstream err;
    const int status = cli::RunCli(args, out, err);
    return {status, out.str(), err.str()};
}

}  // namespace morvane::test
