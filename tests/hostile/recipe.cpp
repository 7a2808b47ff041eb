#include "hostile/recipe.h"

#include <algorithm>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "tools/state_generator.h"

namespace morvane::test {
namespace {

constexpr uint32_t kClassicMagic = 0x23D8A6C8;

size_t RdramStart(gen::Layout layout) {
    switch (layout) {
        case gen::Layout::Project64Wide:
            return 2656;
        case gen::Layout::Project64Fork:
            return 2136;
        case gen::Layout::Mupen64Plus:
            return 444;
        case gen::Layout::ParallelN64:
            return 448;
        default:
            return 1884;
    }
}

long long Number(const std::string& text) {
    size_t used = 0;
    const long long value = std::stoll(text, &used, 0);
    if (used != text.size()) {
        throw std::invalid_argument(text);
    }
    return value;
}

struct Making {
    std::vector<uint8_t> bytes;
    bool plain = false;  // bytes are an unpacked state that the generator made
    size_t rdramStart = 0;
    uint32_t tableStart = 0;

    // A byte of RDRAM in memory order, in a file of reversed words.
    uint8_t& Rdram(uint32_t address) {
        const size_t at = rdramStart + ((address & 0xFFFFFF) ^ 3);
        if (!plain || at >= bytes.size()) {
            throw std::out_of_range("not in a plain state's RDRAM");
        }
        return bytes[at];
    }
    void RdramWord(uint32_t address, uint32_t value) {
        for (uint32_t i = 0; i < 4; ++i) {
            Rdram(address + i) = static_cast<uint8_t>(value >> (24 - 8 * i));
        }
    }
    size_t Offset(long long offset) const {
        const long long at = offset < 0 ? static_cast<long long>(bytes.size()) + offset : offset;
        if (at < 0 || static_cast<size_t>(at) >= bytes.size()) {
            throw std::out_of_range("offset outside the bytes");
        }
        return static_cast<size_t>(at);
    }
};

std::vector<uint8_t> Pack(const std::string& container, std::vector<uint8_t> state) {
    if (container == "zip") {
        return gen::MakeZip({{"GOLDENEYE.pj", std::move(state), true}});
    }
    if (container == "gzip") {
        return gen::MakeGzip(state);
    }
    throw std::invalid_argument(container);
}

void Follow(Making& making, const std::vector<std::string>& words) {
    const std::string& command = words[0];
    const size_t count = words.size();
    if (command == "generate") {
        gen::StateOptions options;
        std::vector<std::string> rest;
        if (!gen::ParseStateOptions({words.begin() + 1, words.end()}, options, rest) ||
            !rest.empty()) {
            throw std::invalid_argument("bad generator options");
        }
        gen::GeneratedState state = gen::GenerateSaveState(options);
        making.plain = options.container == gen::Container::Plain;
        making.rdramStart = RdramStart(options.layout);
        making.tableStart = state.tableStart;
        making.bytes = std::move(state.file);
    } else if (command == "rdram32" && count == 3) {
        making.RdramWord(static_cast<uint32_t>(Number(words[1])),
                         static_cast<uint32_t>(Number(words[2])));
    } else if (command == "entry" && count == 4) {
        const uint32_t entry = making.tableStart + 16 * static_cast<uint32_t>(Number(words[1]));
        const uint32_t value = static_cast<uint32_t>(Number(words[3]));
        const std::string& field = words[2];
        if (field == "address") {
            making.RdramWord(entry + 4, value);
        } else if (field == "width" || field == "height" || field == "byte10" ||
                   field == "format") {
            const uint32_t at = field == "width"    ? 8
                                : field == "height" ? 9
                                : field == "byte10" ? 10
                                                    : 11;
            making.Rdram(entry + at) = static_cast<uint8_t>(value);
        } else {
            throw std::invalid_argument(field);
        }
    } else if (command == "bytes" && count == 3) {
        const std::string& hex = words[2];
        size_t at = making.Offset(Number(words[1]));
        for (size_t i = 0; i + 1 < hex.size(); i += 2, ++at) {
            making.Offset(static_cast<long long>(at));
            making.bytes[at] = static_cast<uint8_t>(std::stoul(hex.substr(i, 2), nullptr, 16));
        }
    } else if (command == "append" && count == 2) {
        const std::string& hex = words[1];
        for (size_t i = 0; i + 1 < hex.size(); i += 2) {
            making.bytes.push_back(static_cast<uint8_t>(std::stoul(hex.substr(i, 2), nullptr, 16)));
        }
    } else if (command == "pack" && count == 2) {
        making.bytes = Pack(words[1], std::move(making.bytes));
        making.plain = false;
    } else if (command == "bomb" && count == 3) {
        std::vector<uint8_t> state(static_cast<size_t>(Number(words[2])) << 20, 0);
        for (size_t i = 0; i < 4; ++i) {
            state[i] = static_cast<uint8_t>(kClassicMagic >> (8 * i));
        }
        state[6] = 0x40;  // the RDRAM size word, 0x400000, little-endian
        making.bytes = Pack(words[1], std::move(state));
        making.plain = false;
    } else if (command == "cut" && count == 2) {
        making.bytes.resize(std::min(making.bytes.size(), static_cast<size_t>(Number(words[1]))));
    } else if (command == "drop-end" && count == 2) {
        const size_t drop = std::min(making.bytes.size(), static_cast<size_t>(Number(words[1])));
        making.bytes.resize(making.bytes.size() - drop);
    } else if (command == "flip" && count == 2) {
        making.bytes[making.Offset(Number(words[1]))] ^= 0xFF;
    } else {
        throw std::invalid_argument("unknown command");
    }
}

}  // namespace

std::vector<uint8_t> MakeFromRecipe(const std::filesystem::path& recipe) {
    std::ifstream in(recipe);
    if (!in) {
        throw std::runtime_error("cannot read " + recipe.string());
    }
    Making making;
    std::string line;
    int number = 0;
    while (std::getline(in, line)) {
        ++number;
        line = line.substr(0, line.find('#'));
        std::istringstream split(line);
        std::vector<std::string> words;
        for (std::string word; split >> word;) {
            words.push_back(word);
        }
        if (words.empty()) {
            continue;
        }
        try {
            Follow(making, words);
        } catch (const std::exception& error) {
            throw std::runtime_error(recipe.filename().string() + ":" + std::to_string(number) +
                                     ": " + error.what());
        }
    }
    return making.bytes;
}

}  // namespace morvane::test
