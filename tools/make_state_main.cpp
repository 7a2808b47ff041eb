// morvane-make-state: writes a synthetic Goldeneye save state.

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <string>

#include "tools/state_generator.h"

namespace {

const char kUsage[] =
    "usage: morvane-make-state [options] OUT\n"
    "  --layout classic|wide|fork|mupen64plus\n"
    "                            Project 64's classic, 64-bit or fork layout, or\n"
    "                            mupen64plus (default classic)\n"
    "  --container plain|zip|gzip  how the state is packed (default plain)\n"
    "  --rdram 4|8               MiB of RDRAM in a Project 64 state (default 4)\n"
    "  --rdram-word N            write N as the RDRAM size word instead\n"
    "  --mupen-version N         mupen64plus's version word (default 0x00010900)\n"
    "  --md5 HEX                 mupen64plus: the ROM's MD5 (default: the release's)\n"
    "  --entry NAME              zip: the state entry's name (default GOLDENEYE.pj)\n"
    "  --no-dat                  zip: no .dat entry\n"
    "  --dat-first               zip: the .dat entry before the state entry\n"
    "  --region ntsc|pal|japan   the release (default ntsc)\n"
    "  --faces N                 face textures (default 6)\n"
    "  --others N                other textures between them (default 4)\n"
    "  --table normal|empty|over512|wrapped\n"
    "  --address-above           one face entry lies above the entry before it\n"
    "  --short-face              one face texture with a 2048-byte extent\n"
    "  --game NAME               the cartridge name (default GOLDENEYE)\n"
    "  --truncate BYTES          cut the state to this length, before packing\n"
    "  --trailing BYTES          bytes after the tail block, inside any container\n"
    "  --seed N                  vary the arbitrary bytes\n"
    "  --bitmap N                write drawn face N as a 32x64, 256-colour bitmap\n"
    "                            instead of a save state\n";

bool ParseCount(const char* text, long long max, long long& value, int base = 10) {
    char* end = nullptr;
    value = std::strtoll(text, &end, base);
    return end != text && *end == '\0' && value >= 0 && value <= max;
}

}  // namespace

int main(int argc, char** argv) {
    using namespace morvane::gen;
    StateOptions options;
    std::string out;
    int bitmapFace = -1;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        long long n = 0;
        if (arg == "--help") {
            std::cout << kUsage;
            return 0;
        } else if (arg == "--layout" && hasValue) {
            const std::string v = argv[++i];
            if (v == "classic") {
                options.layout = Layout::Project64Classic;
            } else if (v == "wide") {
                options.layout = Layout::Project64Wide;
            } else if (v == "fork") {
                options.layout = Layout::Project64Fork;
            } else if (v == "mupen64plus") {
                options.layout = Layout::Mupen64Plus;
            } else {
                std::cerr << kUsage;
                return 2;
            }
        } else if (arg == "--container" && hasValue) {
            const std::string v = argv[++i];
            if (v == "plain") {
                options.container = Container::Plain;
            } else if (v == "zip") {
                options.container = Container::Zip;
            } else if (v == "gzip") {
                options.container = Container::Gzip;
            } else {
                std::cerr << kUsage;
                return 2;
            }
        } else if (arg == "--rdram" && hasValue && ParseCount(argv[++i], 8, n) &&
                   (n == 4 || n == 8)) {
            options.rdramSize = static_cast<uint32_t>(n) * 1024 * 1024;
        } else if (arg == "--rdram-word" && hasValue &&
                   ParseCount(argv[++i], 0xFFFFFFFFLL, n, 0)) {
            options.rdramSizeWord = static_cast<uint32_t>(n);
        } else if (arg == "--mupen-version" && hasValue &&
                   ParseCount(argv[++i], 0xFFFFFFFFLL, n, 0)) {
            options.mupenVersion = static_cast<uint32_t>(n);
        } else if (arg == "--md5" && hasValue) {
            options.md5 = argv[++i];
        } else if (arg == "--entry" && hasValue) {
            options.zipEntryName = argv[++i];
        } else if (arg == "--no-dat") {
            options.datEntry = false;
        } else if (arg == "--dat-first") {
            options.datFirst = true;
        } else if (arg == "--region" && hasValue) {
            const std::string v = argv[++i];
            if (v == "ntsc") {
                options.region = Region::Ntsc;
            } else if (v == "pal") {
                options.region = Region::Pal;
            } else if (v == "japan") {
                options.region = Region::Japan;
            } else {
                std::cerr << kUsage;
                return 2;
            }
        } else if ((arg == "--faces" || arg == "--others") && hasValue && ParseCount(argv[++i], 400, n)) {
            (arg == "--faces" ? options.faces : options.others) = static_cast<int>(n);
        } else if (arg == "--table" && hasValue) {
            const std::string v = argv[++i];
            if (v == "normal") {
                options.table = TableShape::Normal;
            } else if (v == "empty") {
                options.table = TableShape::Empty;
            } else if (v == "over512") {
                options.table = TableShape::OverFull;
            } else if (v == "wrapped") {
                options.table = TableShape::Wrapped;
            } else {
                std::cerr << kUsage;
                return 2;
            }
        } else if (arg == "--address-above") {
            options.addressAbovePrevious = true;
        } else if (arg == "--short-face") {
            options.shortFace = true;
        } else if (arg == "--game" && hasValue) {
            options.gameName = argv[++i];
        } else if (arg == "--truncate" && hasValue && ParseCount(argv[++i], 1LL << 30, n)) {
            options.truncateTo = static_cast<size_t>(n);
        } else if (arg == "--trailing" && hasValue && ParseCount(argv[++i], 1LL << 26, n)) {
            options.trailingBytes = static_cast<size_t>(n);
        } else if (arg == "--seed" && hasValue && ParseCount(argv[++i], 0xFFFFFFFFLL, n)) {
            options.seed = static_cast<uint32_t>(n);
        } else if (arg == "--bitmap" && hasValue && ParseCount(argv[++i], 1000, n)) {
            bitmapFace = static_cast<int>(n);
        } else if (!arg.empty() && arg[0] != '-' && out.empty()) {
            out = arg;
        } else {
            std::cerr << kUsage;
            return 2;
        }
    }
    if (out.empty()) {
        std::cerr << kUsage;
        return 2;
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
