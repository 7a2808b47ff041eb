#pragma once
// The save-state image: one emulator save state held in memory.
//
// Every state we know is a header block, the console's main memory (the RDRAM
// block) and a tail block, each a run of 32-bit words stored least significant
// byte first, then any trailing bytes. The layout is told by the state's first
// bytes, never by the file's name (offsets and sizes in bytes):
//
//   first bytes              layout               header  RDRAM          tail
//   0x23D8A6C8 (LE word)     Project 64 classic     1884  size word      8192
//   0x25EF3FAC (LE word)     Project 64 64-bit      2656  size word      8192
//   0x23D8A6C9 (LE word)     Project 64 fork        2136  size word      8192 + 536
//   "M64+SAVE"               mupen64plus 1.x, 2.x    444  8 MiB          the rest, whole words
//   "M64+SAVE" 1.0 to 1.6    parallel-n64            448  8 MiB          the rest, whole words
//   anything else            unmarked               1884  4 MiB          8192
//
// - Project 64's RDRAM size word is the little-endian word at offset 4,
//   0x400000 or 0x800000; any other size is refused. Its tail is DMEM and IMEM
//   (0x1000 bytes each), and in the fork's layout 536 more bytes of its own.
//   Its header holds a copy of the cartridge header at offset 8 in all three
//   layouts, so in memory order the cartridge name starts at 40 and the region
//   code lies at 70.
// - A mupen64plus header starts with "M64+SAVE", a big-endian version word and
//   the cartridge's MD5 as 32 hexadecimal characters; for every version 1.x
//   and 2.x (RMG's core) RDRAM follows at 444 and is always 8 MiB. Other
//   major versions are refused. The tail must hold everything the version's
//   reader takes: 1.1 adds the whole event queue and a word to 1.0's, 1.2
//   and every later version 4 KiB more; a state cut shorter is refused.
// - parallel-n64 (a RetroArch core) writes the same header with versions
//   0x00010000 to 0x00010006, and one word more before RDRAM. Newer builds put
//   "M64H", the cartridge header's CRCs, its id and its region where the MD5
//   was. Version 0x00010000 is also mupen64plus 1.0's: the two are told apart
//   by the state's size, or, gzipped, as mupen64plus's (RetroArch never gzips);
//   otherwise the state is refused as ambiguous.
// - An unmarked state is read the way Morvane always read states: the classic
//   layout with 4 MiB, the header not consulted. The game test decides.
//
// The state may come as it is, zipped or gzipped (state_containers.h), or in
// RetroArch's container (retroarch_state.h); it is written back in the same
// form.
//
// In memory every block holds the same words with the bytes of each word
// reversed ("memory order"), so the RDRAM block is a byte-for-byte picture of
// the console's big-endian memory: byte n of the block is console physical
// address n. Trailing bytes are kept exactly as they stand in the file.
//
// A game address maps to the RDRAM block by its low 24 bits; every bounds check
// uses the block's real length.

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "common/byte_buffer.h"
#include "common/error.h"
#include "common/file_io.h"
#include "savestate/retroarch_state.h"

namespace morvane {

// The classic layout with 4 MiB, the oldest and still the commonest state.
inline constexpr size_t kHeaderBlockSize = 1884;
inline constexpr size_t kRdramBlockSize = 4 * 1024 * 1024;
inline constexpr size_t kTailBlockSize = 8192;
inline constexpr size_t kSaveStateSize = kHeaderBlockSize + kRdramBlockSize + kTailBlockSize;
static_assert(kSaveStateSize == 4204380);
static_assert(kHeaderBlockSize % 4 == 0 && kRdramBlockSize % 4 == 0 && kTailBlockSize % 4 == 0);

inline constexpr uint32_t kAddressMask = 0xFFFFFF;

// Where the cartridge header copy puts the game's name and region (memory
// order, Project 64 layouts).
inline constexpr size_t kCartridgeNameOffset = 40;
inline constexpr size_t kCartridgeRegionOffset = 70;

enum class StateContainer : uint8_t {
    Plain,  // the state's bytes as they are
    Zip,    // one entry of a PKZIP archive (Project 64's "Auto Zip Saves")
    Gzip,   // gzip-compressed (the mupen64plus family)

    // RetroArch's RZIP and RASTATE blocks around the core's state.
    RetroArch,
};

enum class StateLayout : uint8_t {
    Unmarked,          // no known magic: the classic layout with 4 MiB, unchecked
    Project64Classic,  // 0x23D8A6C8
    Project64Wide,     // 0x25EF3FAC: 64-bit program counter, CP0 registers and TLB
    Project64Fork,     // 0x23D8A6C9: a community fork's own layout
    Mupen64Plus,       // "M64+SAVE"
    ParallelN64,       // "M64+SAVE" of parallel-n64, RDRAM one word later
};

struct StateFormat {
    StateContainer container = StateContainer::Plain;
    StateLayout layout = StateLayout::Project64Classic;
    uint32_t version = 0;  // mupen64plus's version word, e.g. 0x00010900 for 1.9
};

struct SaveStateImage {
    ByteBuffer header;          // memory order
    ByteBuffer RdramImage;      // memory order: the console's big-endian memory
    ByteBuffer tail;            // memory order
    ByteBuffer trailing;        // file order, everything after the tail block
    StateFormat format;         // how the state came, and how it goes back
    ByteBuffer archive;         // a zipped state's archive, as read
    uint64_t archiveEntry = 0;  // the state's entry in `archive`
    bool loaded = false;        // false until the first successful load

    // A RetroArch state's container, as read.
    RetroArchWrapping retroarch;
};

// The two fields of the cartridge header that name the game and its release.
struct CartridgeId {
    std::array<uint8_t, 4> name{};  // the first four characters of the cartridge's name
    uint16_t region = 0;            // the region code, read as a little-endian number
};

// The blocks of one state, as its first bytes tell them.
struct StateBlocks {
    StateLayout layout = StateLayout::Unmarked;
    uint32_t version = 0;
    size_t header = 0;
    size_t rdram = 0;
    size_t tail = 0;
};

// What is known of an unpacked state besides its first bytes.
struct StateFacts {
    StateContainer container = StateContainer::Plain;
    uint64_t size = 0;  // the unpacked state's length; 0 when not known in advance
};

// How the name of a replacement is made from the opened state's name.
struct OutputNameRule {
    // ".zip", ".gz" or ".auto": when the name ends with it (in any case), it is
    // set aside before the name is changed and put back after. Empty for a
    // plain state.
    std::string_view containerSuffix;
    // True for the mupen64plus family and RetroArch, whose emulators list only
    // their own extension: X.st0 gives X_new.st0 rather than X_new.pj.
    bool keepOwnExtension = false;
};

// save_state_image.cpp

// Takes the RDRAM buffer for a new image. False when it cannot be had.
bool AllocateRdram(SaveStateImage& image);

// Reads a save-state file's bytes into the image, unpacking a zip, gzip or
// RetroArch container first. Every refusal leaves the image exactly as it was:
// StateTooShort when the state cannot hold its blocks, DamagedArchive,
// NoStateInArchive, StateTooLarge (past 64 MiB, whatever the kind),
// UnsupportedRdramSize, UnsupportedStateVersion, AmbiguousStateVersion, the
// refusals of UnwrapRetroArchState, NotN64State for a RetroArch state of
// another console, and FindZipState's. What a refusal names besides its code
// (the entry name of DuplicateArchiveEntry) goes to `detail`, when given.
Error LoadSaveState(SaveStateImage& image, std::span<const uint8_t> file,
                    RefusalDetail* detail = nullptr);

// Reads the file at `path` and loads it. CouldNotOpenFile when it cannot be
// read; otherwise as LoadSaveState.
Error LoadSaveStateFile(SaveStateImage& image, const std::filesystem::path& path,
                        RefusalDetail* detail = nullptr);

// The same, reusing the image's buffers: a plain state is read straight into
// its blocks, a zipped or gzipped one inflated straight into them, and each
// block's words are then turned in place. On a refusal the image holds no
// state (`loaded` is false) but keeps its buffers for the next load.
Error RefillSaveStateFile(SaveStateImage& image, const std::filesystem::path& path,
                          RefusalDetail* detail = nullptr);

// Copies `length` bytes from RDRAM at (address AND 0xFFFFFF) into `dest`, in
// memory order. Bytes that would lie past the end of the block are zero.
// Returns the number of bytes that came from the block.
uint32_t ReadRdram(const SaveStateImage& image, uint32_t address, uint32_t length, uint8_t* dest);

// Copies `bytes` into RDRAM at (address AND 0xFFFFFF), unchanged. A write that
// would run past the end of the block is refused whole: false, nothing written.
bool WriteRdram(SaveStateImage& image, uint32_t address, std::span<const uint8_t> bytes);

// True when (address AND 0xFFFFFF) + length lies within the RDRAM block.
bool RdramRangeFits(const SaveStateImage& image, uint32_t address, uint64_t length);

// The `length` bytes of RDRAM at (address AND 0xFFFFFF), in place; empty when
// they do not all lie within the block.
std::span<const uint8_t> RdramBytes(const SaveStateImage& image, uint32_t address, uint32_t length);

// The state's own bytes, in the emulator's layout: for a plain state exactly
// what WriteSaveState writes, for a zipped or gzipped one what goes inside.
std::vector<uint8_t> SaveStateFileBytes(const SaveStateImage& image);

// The whole file that WriteSaveState writes: the state in the container it
// came in. CouldNotWriteSaveState when the container cannot be made,
// OutOfMemory when memory ran out.
Error PackSaveStateFile(const SaveStateImage& image, std::vector<uint8_t>& file);

// Writes the whole image to `path` atomically, in the form it was loaded from.
// CouldNotWriteSaveState when it fails (errno ENOMEM when memory ran out),
// OutputFolderMoved when the folder `path` names was swapped for another
// while it was written, with any earlier file at `path` untouched and
// nothing left in either folder. The image never changes. A link at `path`
// is followed, or replaced itself with Links::Replace.
Error WriteSaveState(const SaveStateImage& image, const std::filesystem::path& path,
                     Links links = Links::Follow);

// state_description.cpp

// What kind of state the image was loaded from, as a player reads it: the
// emulator (and its version or layout), the memory size and the container,
// e.g. "Project64, 64-bit layout, 8 MiB RDRAM, zipped".
std::string StateFormatText(const SaveStateImage& image);

// state_layout.cpp

// True when `start` begins with one of Project 64's state magics.
bool IsProject64StateStart(std::span<const uint8_t> start);

// Tells the layout and block sizes from an unpacked state's first bytes and
// what else is known of it. StateTooShort when there are too few bytes to
// tell, UnsupportedRdramSize, UnsupportedStateVersion, AmbiguousStateVersion.
// The caller checks that the blocks are all there.
Error DetectStateLayout(std::span<const uint8_t> state, StateBlocks& blocks,
                        const StateFacts& facts = {});

// The cartridge's name and region: from the header copy for Project 64 (and
// unmarked) states, from the MD5 (or parallel-n64's "M64H" field) for
// mupen64plus and parallel-n64 states, whose header has no copy. An MD5 of
// none of Goldeneye's releases gives an empty name.
CartridgeId CartridgeIdOf(const SaveStateImage& image);

OutputNameRule OutputNameRuleFor(const StateFormat& format);

}  // namespace morvane
