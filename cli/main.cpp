#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <new>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "common/messages.h"
#include "common/partial_files.h"

int main(int argc, char** argv) {
    morvane::InstallPartialFileCleanup();
    std::vector<std::string> args(argv + 1, argv + argc);
    int status = 1;
    // The core refuses a state it has no memory for; anything else that runs
    // out of it (a listing's text, a picture) still ends in a message, not
    // an abort.
    try {
        status = morvane::cli::RunCli(args, std::cout, std::cerr);
    } catch (const std::bad_alloc&) {
        std::cerr << "morvane-cli: " << morvane::MessageText(morvane::Error::OutOfMemory) << "\n";
        return 1;
    }
    // What a command prints is its result: output that could not be written
    // (a full disk, a closed pipe) is a failure, not a success.
    errno = 0;
    std::cout.flush();
    if (std::fflush(stdout) != 0 || std::ferror(stdout) != 0 || !std::cout) {
        const int reason = errno;
        std::cerr << "morvane-cli: could not write standard output"
                  << (reason != 0 ? std::string(": ") + std::strerror(reason) : std::string())
                  << "\n";
        status = status == 0 ? 1 : status;
    }
    return status;
}
