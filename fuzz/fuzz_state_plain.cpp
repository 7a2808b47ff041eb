// The plain save-state reader: layout detection for every layout, the load,
// the catalogue, the extraction pass, a replacement and the write-back.
//
// A state is 4 to 17 MiB, almost all of it memory that no parser looks at,
// far more than a fuzzer can usefully mutate. So the target starts from a
// generated state, the template, and the input supplies only what the readers
// look at (offsets into the input; short inputs read as zeros):
//
//   0   1  template: bits 0-2 pick one of kTemplates, bit 3 the PAL release
//   1   1  which fields below are used: 1 first bytes, 2 cartridge, 4 table
//          words, 8 cut
//   2   2  T, the number of table bytes (big-endian)
//   4   4  the game address that the texture bytes go to (big-endian)
//   8   8  the state's first 8 bytes, as in the file: the magic and the RDRAM
//          size word, or mupen64plus's magic
//   16  8  Project 64: the cartridge name (4 bytes) and region code (2 bytes,
//          little-endian) as they lie in memory; mupen64plus: the first 8
//          characters of the MD5
//   24  8  the table's start and end, big-endian game addresses, written at the
//          release's table root and 8 bytes below it
//   32  4  the length to cut the state to, modulo its length + 1
//   36  T  table bytes, written in memory order at the table's start
//   36+T   texture bytes, written in memory order at the texture address
//
// Writes into RDRAM are clipped to the block. The template is patched in place
// and restored after each input.

#include <algorithm>
#include <array>
#include <cstdint>
#include <span>
#include <utility>
#include <vector>

#include "common/byte_cursor.h"
#include "common/byte_order.h"
#include "fuzz/fuzz_support.h"
#include "tools/state_generator.h"

namespace {

using morvane::gen::Layout;

struct TemplateKind {
    Layout layout;
    uint32_t rdramSize;
    size_t trailingBytes;
};

constexpr std::array<TemplateKind, 8> kTemplates = {{
    {Layout::Project64Classic, 4u << 20, 0},
    {Layout::Project64Classic, 8u << 20, 0},
    {Layout::Project64Wide, 4u << 20, 0},
    {Layout::Project64Fork, 4u << 20, 0},
    {Layout::Mupen64Plus, 8u << 20, 0},
    {Layout::Project64Classic, 4u << 20, 13},
    {Layout::Project64Wide, 8u << 20, 0},
    {Layout::Project64Fork, 8u << 20, 0},
}};

struct Template {
    std::vector<uint8_t> state;
    size_t rdramStart = 0;
    size_t rdramSize = 0;
    uint32_t tableRoot = 0;
    bool mupen = false;
};

Template& TemplateFor(uint8_t selector) {
    static std::array<Template, 2 * kTemplates.size()> templates;
    const size_t kind = selector & 7;
    const bool pal = (selector & 8) != 0;
    Template& t = templates[kind * 2 + (pal ? 1 : 0)];
    if (t.state.empty()) {
        morvane::gen::StateOptions options;
        options.layout = kTemplates[kind].layout;
        options.rdramSize = kTemplates[kind].rdramSize;
        options.trailingBytes = kTemplates[kind].trailingBytes;
        options.region = pal ? morvane::gen::Region::Pal : morvane::gen::Region::Ntsc;
        morvane::gen::GeneratedState generated = morvane::gen::GenerateSaveState(options);
        t.mupen = options.layout == Layout::Mupen64Plus;
        t.rdramStart = t.mupen                                   ? 444
                       : options.layout == Layout::Project64Wide ? 2656
                       : options.layout == Layout::Project64Fork ? 2136
                                                                 : 1884;
        t.rdramSize = t.mupen ? 8u << 20 : options.rdramSize;
        t.tableRoot = generated.tableRoot;
        t.state = std::move(generated.state);
    }
    return t;
}

// Writes into the template and puts every byte back when it goes away.
class Patch {
public:
    explicit Patch(std::vector<uint8_t>& bytes) : m_bytes(bytes) {}
    ~Patch() {
        for (auto it = m_undo.rbegin(); it != m_undo.rend(); ++it) {
            std::copy(it->second.begin(), it->second.end(),
                      m_bytes.begin() + static_cast<ptrdiff_t>(it->first));
        }
    }
    Patch(const Patch&) = delete;
    Patch& operator=(const Patch&) = delete;

    // Bytes at a file offset, as they are.
    void File(size_t offset, std::span<const uint8_t> bytes) {
        if (offset >= m_bytes.size()) {
            return;
        }
        bytes = bytes.first(std::min(bytes.size(), m_bytes.size() - offset));
        const auto at = m_bytes.begin() + static_cast<ptrdiff_t>(offset);
        m_undo.emplace_back(offset,
                            std::vector<uint8_t>(at, at + static_cast<ptrdiff_t>(bytes.size())));
        std::copy(bytes.begin(), bytes.end(), at);
    }

    // Bytes in memory order at an offset into a block of reversed words.
    void Memory(size_t blockStart, size_t blockSize, size_t offset,
                std::span<const uint8_t> bytes) {
        if (offset >= blockSize || bytes.empty()) {
            return;
        }
        bytes = bytes.first(std::min(bytes.size(), blockSize - offset));
        // Save the whole words the bytes fall in, then write byte by byte.
        const size_t first = blockStart + (offset & ~size_t{3});
        const size_t last =
            std::min(blockStart + ((offset + bytes.size() + 3) & ~size_t{3}), m_bytes.size());
        if (first >= last) {
            return;
        }
        const auto from = m_bytes.begin() + static_cast<ptrdiff_t>(first);
        m_undo.emplace_back(
            first, std::vector<uint8_t>(from, from + static_cast<ptrdiff_t>(last - first)));
        for (size_t i = 0; i < bytes.size(); ++i) {
            const size_t at = blockStart + ((offset + i) ^ 3);
            if (at < m_bytes.size()) {
                m_bytes[at] = bytes[i];
            }
        }
    }

private:
    std::vector<uint8_t>& m_bytes;
    std::vector<std::pair<size_t, std::vector<uint8_t>>> m_undo;
};

constexpr uint8_t kFirstBytes = 1;
constexpr uint8_t kCartridge = 2;
constexpr uint8_t kTableWords = 4;
constexpr uint8_t kCut = 8;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    morvane::fuzz::UseMemoryForTemporaryFiles();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::array<uint8_t, 36> fixed{};
    std::copy_n(data, std::min(size, fixed.size()), fixed.begin());
    const std::span<const uint8_t> rest =
        size > fixed.size() ? std::span<const uint8_t>(data + fixed.size(), size - fixed.size())
                            : std::span<const uint8_t>();

    Template& t = TemplateFor(fixed[0]);
    const uint8_t flags = fixed[1];
    const size_t tableBytes = std::min<size_t>(morvane::LoadBE16(&fixed[2]), rest.size());
    const uint32_t textureAddress = morvane::LoadBE32(&fixed[4]);
    const auto field = [&](size_t offset, size_t length) {
        return std::span<const uint8_t>(fixed).subspan(offset, length);
    };

    Patch patch(t.state);
    if (flags & kFirstBytes) {
        patch.File(0, field(8, 8));
    }
    if (flags & kCartridge) {
        if (t.mupen) {
            patch.File(12, field(16, 8));
        } else {
            patch.Memory(0, t.rdramStart, 40, field(16, 4));
            patch.Memory(0, t.rdramStart, 70, field(20, 2));
        }
    }
    const size_t root = t.tableRoot & morvane::kAddressMask;
    if (flags & kTableWords) {
        patch.Memory(t.rdramStart, t.rdramSize, root, field(24, 4));
        patch.Memory(t.rdramStart, t.rdramSize, root - 8, field(28, 4));
    }
    // The table bytes go wherever the table now starts.
    std::array<uint8_t, 4> startWord{};
    for (size_t i = 0; i < 4; ++i) {
        startWord[i] = t.state[t.rdramStart + ((root + i) ^ 3)];
    }
    const size_t tableStart = morvane::LoadBE32(startWord.data()) & morvane::kAddressMask;
    patch.Memory(t.rdramStart, t.rdramSize, tableStart, rest.first(tableBytes));
    patch.Memory(t.rdramStart, t.rdramSize, textureAddress & morvane::kAddressMask,
                 rest.subspan(tableBytes));

    std::span<const uint8_t> state(t.state);
    if (flags & kCut) {
        state = state.first(morvane::LoadBE32(&fixed[32]) % (state.size() + 1));
    }

    morvane::Session session;
    if (morvane::LoadSaveState(session.image, state) != morvane::Error::None) {
        return 0;
    }
    morvane::fuzz::ExerciseLoadedState(session, state);
    return 0;
}
