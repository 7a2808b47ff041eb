// morvane-make-state: writes a synthetic Goldeneye save state.

#include <cstdlib>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "tools/state_generator.h"

namespace {

const char kUsage[] =
    "usage: morvane-make-state [options] OUT\n"
    "       morvane-make-state --help | --version\n"
    "  --layout classic|wide|fork|mupen64plus|parallel-n64\n"
    "                            Project 64's classic, 64-bit or fork layout,\n"
    "                            mupen64plus or parallel-n64 (default classic)\n"
    "  --container plain|zip|gzip|rzip1|rzip2|rastate\n"
    "                            how the state is packed (default plain); rzip1,\n"
    "                            rzip2 and rastate are RetroArch's: RASTATE blocks\n"
    "                            in RZIP v1 (zlib), v2 (Zstandard) or uncompressed\n"
    "  --rdram 4|8               MiB of RDRAM in a Project 64 state (default 4)\n"
    "  --rdram-word N            write N as the RDRAM size word instead\n"
    "  --mupen-version N         the version word (default 0x00010900, or 0x00010006\n"
    "                            for parallel-n64; 0x00020000 is RMG's)\n"
    "  --md5 HEX                 mupen64plus: the ROM's MD5 (default: the release's)\n"
    "  --m64h                    parallel-n64: its M64H cartridge field, not the MD5\n"
    "  --no-blocks               RetroArch: the core's state bare, without RASTATE\n"
    "  --extra-blocks            RetroArch: an RPLY block before MEM, ACHV after it\n"
    "  --rzip-chunk BYTES        RetroArch: RZIP's chunk size (default 131072)\n"
    "  --entry NAME              zip: the state entry's name (default GOLDENEYE.pj)\n"
    "  --no-dat                  zip: no .dat entry\n"
    "  --dat-first               zip: the .dat entry before the state entry\n"
    "  --leading-entry BYTES     zip: a stored entry of BYTES arbitrary bytes first\n"
    "  --region ntsc|pal|japan   the release (default ntsc)\n"
    "  --faces N                 face textures (default 6)\n"
    "  --others N                other textures between them (default 4)\n"
    "  --table normal|empty|over512|wrapped\n"
    "  --address-above           one face entry lies above the entry before it\n"
    "  --short-face              one face texture with a 2048-byte extent\n"
    "  --palette-alpha           the alpha bit set in two of every three entries of\n"
    "                            each face's palette\n"
    "  --game NAME               the cartridge name (default GOLDENEYE)\n"
    "  --cartridge-header ROM    Project 64: the header of cartridge ROM (.z64), and\n"
    "                            its release; the classic layout then holds a\n"
    "                            machine that runs ROM's idle loop, so that an\n"
    "                            emulator running ROM loads the state\n"
    "  --busy-memory             free memory half noise, half zeros (for benchmarks)\n"
    "  --truncate BYTES          cut the state to this length, before packing\n"
    "  --trailing BYTES          bytes after the tail block, inside any container\n"
    "  --empty-blocks N          N empty deflate blocks, each with code tables of its\n"
    "                            own, before the state in its deflate stream: gzip,\n"
    "                            the zip's state entry, RZIP v1's first chunk\n"
    "  --seed N                  vary the arbitrary bytes\n"
    "  --bitmap N                write drawn face N as a 32x64, 256-colour bitmap\n"
    "                            instead of a save state\n";

int Usage(const std::string& problem) {
    std::cerr << "morvane-make-state: " << problem << "\n" << kUsage;
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    using namespace morvane::gen;
    StateOptions options;
    std::vector<std::string> rest;
    std::string refused;
    if (!ParseStateOptions(std::vector<std::string>(argv + 1, argv + argc), options, rest,
                           &refused)) {
        return Usage("cannot take '" + refused + "'");
    }
    std::string out;
    int bitmapFace = -1;
    for (size_t i = 0; i < rest.size(); ++i) {
        const std::string& arg = rest[i];
        if (arg == "--help") {
            std::cout << kUsage;
            return 0;
        }
        if (arg == "--version") {
            std::cout << "morvane-make-state " << MORVANE_VERSION << "\n";
            return 0;
        }
        if (arg == "--bitmap" && i + 1 < rest.size()) {
            char* end = nullptr;
            const long n = std::strtol(rest[++i].c_str(), &end, 10);
            if (*end != '\0' || n < 0 || n > 1000) {
                return Usage("cannot take '--bitmap " + rest[i] + "'");
            }
            bitmapFace = static_cast<int>(n);
        } else if (!arg.empty() && arg[0] != '-' && out.empty()) {
            out = arg;
        } else {
            return Usage("cannot take '" + arg + "'");
        }
    }
    if (out.empty()) {
        return Usage("no OUT given");
    }
    const std::vector<uint8_t> bytes =
        bitmapFace >= 0 ? FaceBitmap(bitmapFace) : GenerateSaveState(options).file;
    std::ofstream file(out, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!file) {
        std::cerr << "could not write " << out << "\n";
        return 1;
    }
    return 0;
}
