#include "savestate/save_state_image.h"

#include <algorithm>
#include <cstring>

#include "common/byte_cursor.h"
#include "common/byte_order.h"

// Where the numbers come from (read for facts only):
//
// Project 64, Source/Project64-core/N64System/N64System.cpp (SaveState,
// LoadState) and N64System.h: magic 0x23D8A6C8 ("SaveID_0") or 0x25EF3FAC
// ("SaveID_0_1"), the RDRAM size, the 0x40-byte cartridge header, the VI timer,
// the program counter (4 bytes in the classic layout, 8 in the newer), 32 GPRs
// and 32 FPRs of 8 bytes, 32 CP0 registers (4 or 8 bytes each), 32 FPCRs, HI and
// LO, the RDRAM, SP, DPC, MI, VI, AI, PI, RI and SI registers (10, 10, 10, 4,
// 14, 6, 13, 8, 4 words), 32 TLB entries, 0x40 bytes of PIF RAM, then RDRAM,
// DMEM and IMEM. With the old 20-byte TLB entries that puts RDRAM at 1884; the
// newer layout's RDRAM at 2656 implies 40-byte entries (64-bit fields). A zipped
// state is the same bytes in one entry, beside a ".dat" entry whose first word
// is 0x56D2CD23 or 0x750A6BEB; the loader takes the first entry that starts
// with a state magic.
//
// The fork (MiB64, after Project 64 Legacy) writes 0x23D8A6C9 ("2023.1"): the
// 64-bit program counter and CP0, four sets of RDRAM registers and 20-byte TLB
// entries put RDRAM at 2136; 536 bytes follow IMEM.
//
// mupen64plus-core, src/main/savestates.c: a gzip file starting "M64+SAVE", the
// version as a big-endian word (latest 0x00010900), the ROM's MD5 as 32
// upper-case hexadecimal characters; 400 bytes of registers, then all of RDRAM
// (RDRAM_MAX_SIZE, 8 MiB) as little-endian words, for every 1.x version. A
// state of another major version is refused by the emulator itself.
//
// mupen64plus-core, data/mupen64plus.ini: the MD5s of GoldenEye 007's good
// dumps, (U) [!], (E) [!] and (J) [!].
//
// RMG's bundled mupen64plus-core, src/main/savestates.c: version 0x00020000
// ("2.0") keeps the 1.x layout up to and after RDRAM and adds the RSP's state
// after the known blocks; the emulator loads only its own major version.
//
// parallel-n64, mupen64plus-core/src/main/savestates.c and libretro/libretro.c:
// "M64+SAVE" with the audio interface's last_read word before RDRAM, which so
// starts at 448 (0x1C0), versions 0x00010000 up to 0x00010006, each adding
// blocks after RDRAM; retro_serialize_size is 16788288 + 1024 + 4. Builds
// without that word wrote the 1.0 layout of 16788288 + 1024 bytes. Newer
// builds write "M64H", the header CRCs, the cartridge id and the region in
// the MD5's place.

namespace morvane {
namespace {

constexpr uint32_t kMagicClassic = 0x23D8A6C8;
constexpr uint32_t kMagicWide = 0x25EF3FAC;
constexpr uint32_t kMagicFork = 0x23D8A6C9;
constexpr char kMupenMagic[] = "M64+SAVE";
constexpr size_t kMupenMagicSize = 8;
constexpr uint32_t kMupenOne = 0x00010000;        // 1.0: mupen64plus's or parallel-n64's
constexpr uint32_t kParallelLatest = 0x00010006;  // parallel-n64's newest
constexpr uint32_t kRmgMajorVersion = 2;          // RMG's core since 2025

constexpr size_t kDmemImemSize = 2 * 0x1000;
constexpr size_t kForkExtraSize = 536;
constexpr size_t kRdram4 = 0x400000;
constexpr size_t kRdram8 = 0x800000;

constexpr size_t kMupenMd5Offset = 12;
constexpr size_t kMupenMd5Size = 32;
constexpr size_t kMupenHeaderSize = 444;
constexpr size_t kParallelHeaderSize = 448;
// Everything that version 1.0 already wrote after the 44-byte header, RDRAM
// included; later versions add more, never less.
constexpr size_t kMupenFixedSize = 16788244;
constexpr size_t kMupenMinimumTail = kMupenFixedSize - (kMupenHeaderSize - 44) - kRdram8;
// What each version adds after that, all of which its reader requires: the
// event queue (1.0's reader takes it cut to any whole number of words, or
// missing), 1.1's using_tlb word and 1.2's 4 KiB of extra state, which every
// later version and RMG's 2.x keep.
constexpr size_t kMupenQueueSize = 1024;
constexpr size_t kMupenTlbFlagSize = 4;
constexpr size_t kMupenExtraStateSize = 4096;
constexpr uint32_t kMupenOneOne = 0x00010100;
constexpr uint32_t kMupenOneTwo = 0x00010200;

static_assert(kMupenHeaderSize % 4 == 0 && kMupenMinimumTail % 4 == 0);

// The whole sizes of a version 1.0 state as each writer makes it: the 1.0
// layout, and parallel-n64's with its one word more.
constexpr uint64_t kOneLayoutSize = 44 + kMupenFixedSize + 1024;
constexpr uint64_t kParallelOneSize = kOneLayoutSize + 4;
static_assert(kOneLayoutSize == 16788288 + 1024);

// parallel-n64's identity field: "M64H", the cartridge header's two CRCs as
// 16 hexadecimal characters, the two-character cartridge id and the region
// code.
constexpr char kParallelIdentity[] = "M64H";
constexpr size_t kIdentityCartridgeId = 20;
constexpr size_t kIdentityRegion = 22;
constexpr char kGoldeneyeCartridgeId[] = "GE";

struct KnownCartridge {
    char md5[kMupenMd5Size + 1];
    uint16_t region;
};

// GoldenEye 007 as mupen64plus's ROM database lists it.
constexpr KnownCartridge kGoldeneyeDumps[] = {
    {"70C525880240C1E838B8B1BE35666C3B", 0x0045},  // (U) [!]: NTSC
    {"CFF69B70A8AD674A0EFE5558765855C9", 0x0050},  // (E) [!]: PAL
    {"1880DA358F875C0740D4A6731E110109", 0x004A},  // (J) [!]: Japan
};

// The shortest tail a state of this layout and version can have, as its
// emulator's reader requires it. parallel-n64 reads the whole event queue
// whatever its version, and its own word before RDRAM leaves the tail as
// long as mupen64plus 1.0's.
size_t MinimumMupenTail(StateLayout layout, uint32_t version) {
    if (layout == StateLayout::ParallelN64) {
        return kMupenMinimumTail + kMupenQueueSize;
    }
    if (version < kMupenOneOne) {
        return kMupenMinimumTail;
    }
    const size_t oneOne = kMupenMinimumTail + kMupenQueueSize + kMupenTlbFlagSize;
    return version < kMupenOneTwo ? oneOne : oneOne + kMupenExtraStateSize;
}

bool IsMupenStart(std::span<const uint8_t> state) {
    return state.size() >= kMupenMagicSize &&
           std::memcmp(state.data(), kMupenMagic, kMupenMagicSize) == 0;
}

char UpperHex(uint8_t c) {
    return c >= 'a' && c <= 'f' ? static_cast<char>(c - 'a' + 'A') : static_cast<char>(c);
}

// parallel-n64's identity field names the cartridge by its header's id and
// region code; Goldeneye's id is "GE".
CartridgeId CartridgeFromIdentity(const char (&field)[kMupenMd5Size]) {
    CartridgeId id;
    if (std::memcmp(field + kIdentityCartridgeId, kGoldeneyeCartridgeId, 2) == 0) {
        id.name = {'G', 'O', 'L', 'D'};
        id.region = static_cast<uint8_t>(field[kIdentityRegion]);
    }
    return id;
}

CartridgeId CartridgeFromMd5(const SaveStateImage& image) {
    CartridgeId id;
    if (image.header.size() < kMupenMd5Offset + kMupenMd5Size) {
        return id;
    }
    char field[kMupenMd5Size];
    for (size_t i = 0; i < kMupenMd5Size; ++i) {
        // The header is held in memory order like every block: file byte k
        // is memory byte k XOR 3.
        field[i] = static_cast<char>(image.header[(kMupenMd5Offset + i) ^ 3]);
    }
    if (image.format.layout == StateLayout::ParallelN64 &&
        std::memcmp(field, kParallelIdentity, 4) == 0) {
        return CartridgeFromIdentity(field);
    }
    char md5[kMupenMd5Size];
    std::transform(field, field + kMupenMd5Size, md5,
                   [](char c) { return UpperHex(static_cast<uint8_t>(c)); });
    for (const KnownCartridge& known : kGoldeneyeDumps) {
        if (std::memcmp(md5, known.md5, kMupenMd5Size) == 0) {
            id.name = {'G', 'O', 'L', 'D'};
            id.region = known.region;
            return id;
        }
    }
    return id;
}

// Which layout a mupen64plus-family version word means, from the version and
// what is known of the state.
Error MupenLayoutOf(uint32_t version, const StateFacts& facts, StateLayout& layout) {
    const uint32_t major = version >> 16;
    if (major == kRmgMajorVersion) {
        layout = StateLayout::Mupen64Plus;
        return Error::None;
    }
    if (major != 1) {
        return Error::UnsupportedStateVersion;
    }
    if (version == kMupenOne) {
        // mupen64plus 1.0 and parallel-n64 both wrote 1.0, RDRAM four bytes
        // apart; only a fact tells them apart, never the game's bytes.
        if (facts.container == StateContainer::Gzip || facts.size == kOneLayoutSize) {
            layout = StateLayout::Mupen64Plus;
            return Error::None;
        }
        if (facts.size == kParallelOneSize) {
            layout = StateLayout::ParallelN64;
            return Error::None;
        }
        return Error::AmbiguousStateVersion;
    }
    if (version <= kParallelLatest) {
        layout = StateLayout::ParallelN64;
        return Error::None;
    }
    // mupen64plus's own versions are 1.1, 1.2 ... with a zero last byte.
    if ((version & 0xFF) != 0) {
        return Error::UnsupportedStateVersion;
    }
    layout = StateLayout::Mupen64Plus;
    return Error::None;
}

}  // namespace

bool IsProject64StateStart(std::span<const uint8_t> start) {
    if (start.size() < 4) {
        return false;
    }
    const uint32_t magic = LoadLE32(start.data());
    return magic == kMagicClassic || magic == kMagicWide || magic == kMagicFork;
}

Error DetectStateLayout(std::span<const uint8_t> state, StateBlocks& blocks,
                        const StateFacts& facts) {
    ByteCursor cursor(state);
    if (IsMupenStart(state)) {
        cursor.Skip(kMupenMagicSize);
        const uint32_t version = cursor.BE32();
        if (!cursor.ok()) {
            return Error::StateTooShort;
        }
        StateLayout layout = StateLayout::Mupen64Plus;
        if (const Error error = MupenLayoutOf(version, facts, layout); error != Error::None) {
            return error;
        }
        blocks.layout = layout;
        blocks.version = version;
        blocks.header = layout == StateLayout::ParallelN64 ? kParallelHeaderSize : kMupenHeaderSize;
        blocks.rdram = kRdram8;
        // The tail is whatever follows, in whole words; a state too short for
        // its version's layout gets that layout's minimum, which the caller
        // then misses.
        const size_t before = blocks.header + kRdram8;
        const size_t rest = state.size() > before ? (state.size() - before) / 4 * 4 : 0;
        blocks.tail = std::max(rest, MinimumMupenTail(layout, version));
        return Error::None;
    }

    blocks =
        StateBlocks{StateLayout::Unmarked, 0, kHeaderBlockSize, kRdramBlockSize, kTailBlockSize};
    if (!IsProject64StateStart(state)) {
        return Error::None;
    }
    const uint32_t magic = cursor.LE32();
    const uint32_t rdramSize = cursor.LE32();
    if (!cursor.ok()) {
        return Error::StateTooShort;
    }
    if (rdramSize != kRdram4 && rdramSize != kRdram8) {
        return Error::UnsupportedRdramSize;
    }
    blocks.rdram = rdramSize;
    blocks.tail = kDmemImemSize;
    switch (magic) {
        case kMagicClassic:
            blocks.layout = StateLayout::Project64Classic;
            blocks.header = kHeaderBlockSize;
            break;
        case kMagicWide:
            blocks.layout = StateLayout::Project64Wide;
            blocks.header = 2656;
            break;
        default:
            blocks.layout = StateLayout::Project64Fork;
            blocks.header = 2136;
            blocks.tail = kDmemImemSize + kForkExtraSize;
            break;
    }
    return Error::None;
}

CartridgeId CartridgeIdOf(const SaveStateImage& image) {
    if (image.format.layout == StateLayout::Mupen64Plus ||
        image.format.layout == StateLayout::ParallelN64) {
        return CartridgeFromMd5(image);
    }
    CartridgeId id;
    const ByteBuffer& h = image.header;
    if (h.size() >= kCartridgeRegionOffset + 2) {
        std::copy_n(h.begin() + kCartridgeNameOffset, 4, id.name.begin());
        id.region = LoadLE16(&h[kCartridgeRegionOffset]);
    }
    return id;
}

OutputNameRule OutputNameRuleFor(const StateFormat& format) {
    OutputNameRule rule;
    switch (format.container) {
        case StateContainer::Plain:
            break;
        case StateContainer::Zip:
            rule.containerSuffix = ".zip";
            break;
        case StateContainer::Gzip:
            rule.containerSuffix = ".gz";
            break;
        case StateContainer::RetroArch:
            // RetroArch's automatic state, NAME.state.auto, keeps ".state".
            rule.containerSuffix = ".auto";
            break;
    }
    rule.keepOwnExtension = format.layout == StateLayout::Mupen64Plus ||
                            format.layout == StateLayout::ParallelN64 ||
                            format.container == StateContainer::RetroArch;
    return rule;
}

}  // namespace morvane
