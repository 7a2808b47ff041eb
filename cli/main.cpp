#include <iostream>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "common/partial_files.h"

int main(int argc, char** argv) {
    morvane::InstallPartialFileCleanup();
    std::vector<std::string> args(argv + 1, argv + argc);
    return morvane::cli::RunCli(args, std::cout, std::cerr);
}
