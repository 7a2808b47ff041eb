#include <cstdlib>
#include <fstream>

#include "tools/state_generator.h"

namespace morvane::gen {
namespace {

bool ParseCount(const std::string& text, long long max, long long& value, int base = 10) {
    char* end = nullptr;
    value = std::strtoll(text.c_str(), &end, base);
    return end != text.c_str() && *end == '\0' && value >= 0 && value <= max;
}

template <typename T>
bool Pick(const std::string& value, std::initializer_list<std::pair<const char*, T>> choices,
          T& out) {
    for (const auto& [name, choice] : choices) {
        if (value == name) {
            out = choice;
            return true;
        }
    }
    return false;
}

// The first 64 bytes of the cartridge file at `path`, which must be in .z64
// byte order; the release follows from its country code.
bool ReadCartridgeHeader(const std::string& path, StateOptions& options) {
    std::vector<uint8_t> header(kCartridgeHeader);
    std::ifstream file(path, std::ios::binary);
    file.read(reinterpret_cast<char*>(header.data()), static_cast<std::streamsize>(header.size()));
    if (!file || header[0] != 0x80 || header[1] != 0x37 || header[2] != 0x12 || header[3] != 0x40) {
        return false;
    }
    options.cartridgeHeader = header;
    options.region = header[0x3E] == 'P'   ? Region::Pal
                     : header[0x3E] == 'J' ? Region::Japan
                                           : Region::Ntsc;
    return true;
}

// One option and its value, if it takes one; false when the value is bad.
bool ParseOne(const std::string& arg, const std::string* value, StateOptions& options) {
    long long n = 0;
    if (arg == "--no-dat") {
        options.datEntry = false;
        return true;
    }
    if (arg == "--dat-first") {
        options.datFirst = true;
        return true;
    }
    if (arg == "--address-above") {
        options.addressAbovePrevious = true;
        return true;
    }
    if (arg == "--short-face") {
        options.shortFace = true;
        return true;
    }
    if (arg == "--palette-alpha") {
        options.paletteAlpha = true;
        return true;
    }
    if (arg == "--m64h") {
        options.parallelIdentity = true;
        return true;
    }
    if (arg == "--no-blocks") {
        options.retroarchBlocks = false;
        return true;
    }
    if (arg == "--extra-blocks") {
        options.extraBlocks = true;
        return true;
    }
    if (arg == "--busy-memory") {
        options.busyMemory = true;
        return true;
    }
    if (value == nullptr) {
        return false;
    }
    const std::string& v = *value;
    if (arg == "--layout") {
        return Pick<Layout>(v,
                            {{"classic", Layout::Project64Classic},
                             {"wide", Layout::Project64Wide},
                             {"fork", Layout::Project64Fork},
                             {"mupen64plus", Layout::Mupen64Plus},
                             {"parallel-n64", Layout::ParallelN64}},
                            options.layout);
    }
    if (arg == "--container") {
        return Pick<Container>(v,
                               {{"plain", Container::Plain},
                                {"zip", Container::Zip},
                                {"gzip", Container::Gzip},
                                {"rzip1", Container::Rzip1},
                                {"rzip2", Container::Rzip2},
                                {"rastate", Container::Rastate}},
                               options.container);
    }
    if (arg == "--region") {
        return Pick<Region>(
            v, {{"ntsc", Region::Ntsc}, {"pal", Region::Pal}, {"japan", Region::Japan}},
            options.region);
    }
    if (arg == "--table") {
        return Pick<TableShape>(v,
                                {{"normal", TableShape::Normal},
                                 {"empty", TableShape::Empty},
                                 {"over512", TableShape::OverFull},
                                 {"wrapped", TableShape::Wrapped}},
                                options.table);
    }
    if (arg == "--rdram") {
        if (!ParseCount(v, 8, n) || (n != 4 && n != 8)) {
            return false;
        }
        options.rdramSize = static_cast<uint32_t>(n) * 1024 * 1024;
        return true;
    }
    if (arg == "--rdram-word" || arg == "--mupen-version" || arg == "--seed") {
        if (!ParseCount(v, 0xFFFFFFFFLL, n, arg == "--seed" ? 10 : 0)) {
            return false;
        }
        uint32_t& field = arg == "--rdram-word"      ? options.rdramSizeWord
                          : arg == "--mupen-version" ? options.mupenVersion
                                                     : options.seed;
        field = static_cast<uint32_t>(n);
        return true;
    }
    if (arg == "--rzip-chunk") {
        if (!ParseCount(v, 0xFFFFFFFFLL, n) || n == 0) {
            return false;
        }
        options.rzipChunkSize = static_cast<uint32_t>(n);
        return true;
    }
    if (arg == "--faces" || arg == "--others") {
        if (!ParseCount(v, 400, n)) {
            return false;
        }
        (arg == "--faces" ? options.faces : options.others) = static_cast<int>(n);
        return true;
    }
    if (arg == "--truncate" || arg == "--trailing" || arg == "--leading-entry" ||
        arg == "--empty-blocks") {
        if (!ParseCount(v, arg == "--truncate" ? 1LL << 30 : 1LL << 26, n)) {
            return false;
        }
        (arg == "--truncate"        ? options.truncateTo
         : arg == "--trailing"      ? options.trailingBytes
         : arg == "--leading-entry" ? options.leadingEntry
                                    : options.emptyBlocks) = static_cast<size_t>(n);
        return true;
    }
    if (arg == "--md5") {
        options.md5 = v;
        return true;
    }
    if (arg == "--entry") {
        options.zipEntryName = v;
        return true;
    }
    if (arg == "--cartridge-header") {
        return ReadCartridgeHeader(v, options);
    }
    if (arg == "--game") {
        options.gameName = v;
        return true;
    }
    return false;
}

bool TakesValue(const std::string& arg) {
    return arg == "--layout" || arg == "--container" || arg == "--region" || arg == "--table" ||
           arg == "--rdram" || arg == "--rdram-word" || arg == "--mupen-version" ||
           arg == "--seed" || arg == "--faces" || arg == "--others" || arg == "--truncate" ||
           arg == "--trailing" || arg == "--md5" || arg == "--entry" || arg == "--game" ||
           arg == "--cartridge-header" || arg == "--leading-entry" || arg == "--rzip-chunk" ||
           arg == "--empty-blocks";
}

bool IsFlag(const std::string& arg) {
    return arg == "--no-dat" || arg == "--dat-first" || arg == "--address-above" ||
           arg == "--short-face" || arg == "--palette-alpha" || arg == "--m64h" ||
           arg == "--no-blocks" || arg == "--extra-blocks" || arg == "--busy-memory";
}

}  // namespace

bool ParseStateOptions(const std::vector<std::string>& args, StateOptions& options,
                       std::vector<std::string>& rest, std::string* refused) {
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (IsFlag(arg)) {
            ParseOne(arg, nullptr, options);
        } else if (TakesValue(arg)) {
            if (i + 1 >= args.size() || !ParseOne(arg, &args[i + 1], options)) {
                if (refused != nullptr) {
                    *refused = i + 1 < args.size() ? arg + " " + args[i + 1] : arg;
                }
                return false;
            }
            ++i;
        } else {
            rest.push_back(arg);
        }
    }
    return true;
}

}  // namespace morvane::gen
