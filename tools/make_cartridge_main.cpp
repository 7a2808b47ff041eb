// morvane-make-cartridge: writes the test cartridge that a real emulator
// boots, with the faces planted in the memory it copies in.

#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "tools/state_generator.h"

namespace {

const char kUsage[] =
    "usage: morvane-make-cartridge [options] OUT.z64\n"
    "  --region ntsc|pal         the release its header names (default ntsc)\n"
    "  --faces N                 face textures (default 6)\n"
    "  --others N                other textures between them (default 4)\n"
    "  --game NAME               the name in its header (default GOLDENEYE)\n"
    "  --seed N                  vary the other textures' bytes\n";

}  // namespace

int main(int argc, char** argv) {
    using namespace morvane::gen;
    StateOptions options;
    std::vector<std::string> rest;
    if (!ParseStateOptions(std::vector<std::string>(argv + 1, argv + argc), options, rest) ||
        rest.size() != 1 || rest[0].empty() || rest[0][0] == '-') {
        std::cerr << kUsage;
        return 2;
    }
    const std::vector<uint8_t> rom = GenerateCartridge(options).rom;
    std::ofstream file(rest[0], std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(rom.data()), static_cast<std::streamsize>(rom.size()));
    if (!file) {
        std::cerr << "could not write " << rest[0] << "\n";
        return 1;
    }
    return 0;
}
