#pragma once
// Synthetic Goldeneye save states for the tests and the demo.
//
// Real save states hold the game's own memory and cannot ship, so the
// generator writes states that look like the game's: a texture table at the
// release's table root, face textures (format 9, 32x64, each a simple drawn
// face with its own 256-entry palette) and other textures between them.
//
// It writes every kind of state that Morvane reads: Project 64's classic,
// 64-bit and fork layouts (a header with the cartridge header copy at offset
// 8), with 4 or 8 MiB of RDRAM, mupen64plus states (a header naming the
// cartridge by its MD5, 8 MiB of RDRAM; version 2.x is RMG's) and
// parallel-n64's; plain, zipped the way Project 64 zips them (the state entry
// and a ".dat" entry), gzipped, or in RetroArch's RZIP and RASTATE blocks. Archives are made here
// with zlib alone, not with the core's libzip, so the tests read archives that
// the core did not make. With 8 MiB of RDRAM the table and the textures lie in
// the upper 4 MiB, so that a state read as 4 MiB shows nothing.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace morvane::gen {

enum class Region { Ntsc, Pal, Japan };

constexpr size_t kCartridgeHeader = 64;

enum class TableShape {
    Normal,
    Empty,     // start == end
    OverFull,  // 513 entries: the faces and others, padded with small textures
    Wrapped,   // end lies below start
};

enum class Layout { Project64Classic, Project64Wide, Project64Fork, Mupen64Plus, ParallelN64 };

// Rzip1, Rzip2 and Rastate are RetroArch's: its RASTATE blocks (or the core's
// state bare) in RZIP with zlib or Zstandard chunks, or uncompressed.
enum class Container { Plain, Zip, Gzip, Rzip1, Rzip2, Rastate };

struct StateOptions {
    Layout layout = Layout::Project64Classic;
    Container container = Container::Plain;
    uint32_t rdramSize = 4 * 1024 * 1024;  // Project 64: 4 or 8 MiB; mupen64plus is always 8
    uint32_t rdramSizeWord = 0;            // the size word written instead, when not 0
    // mupen64plus's (or parallel-n64's) version word; 0 takes the layout's
    // newest: 0x00010900 for mupen64plus, 0x00010006 for parallel-n64
    uint32_t mupenVersion = 0;
    std::string md5;                       // mupen64plus: the ROM's MD5; empty takes the release's
    std::string zipEntryName = "GOLDENEYE.pj";
    bool datEntry = true;   // zip: a ".dat" entry of timing data after the state
    bool datFirst = false;  // zip: the ".dat" entry before the state
    size_t leadingEntry = 0;  // zip: a stored entry of this many arbitrary bytes before all others
    bool parallelIdentity = false;  // parallel-n64: "M64H" and the cartridge in the MD5's place
    bool retroarchBlocks = true;    // RetroArch: RASTATE blocks, or the core's state bare
    bool extraBlocks = false;       // RetroArch: an RPLY block before MEM and ACHV after it
    uint32_t rzipChunkSize = 131072;  // RetroArch: RZIP's chunk size
    Region region = Region::Ntsc;
    int faces = 6;
    int others = 4;
    TableShape table = TableShape::Normal;
    bool addressAbovePrevious = false;  // one face entry lies above the entry before it
    bool shortFace = false;             // one face texture whose extent is 2048 bytes
    uint8_t faceByte10 = 255;           // byte 10 of every face entry: its colours less one
    bool paletteAlpha = false;          // faces: the alpha bit set in two of every three entries
    std::string gameName = "GOLDENEYE";
    // Project 64: the 64-byte header of a cartridge (.z64, in its own byte
    // order) to copy into the state instead of a made-up one. The classic
    // layout then also holds a quiet machine that runs the cartridge's idle
    // loop (below), so that an emulator running that cartridge loads the state.
    std::vector<uint8_t> cartridgeHeader;
    bool busyMemory = false;            // free RDRAM half noise, half zeros, as a game's is
    size_t truncateTo = 0;              // cut the state to this many bytes; 0 keeps it whole
    size_t trailingBytes = 0;           // bytes after the tail block, inside any container
    // Deflate: empty blocks, each with code tables of its own, at the start of
    // the state's stream (gzip, the zip's state entry, RZIP v1's first chunk).
    size_t emptyBlocks = 0;
    uint32_t seed = 1;
};

struct GeneratedTexture {
    int record = 0;  // index in the table
    uint16_t identifier = 0;
    uint32_t address = 0;
    uint8_t width = 0;
    uint8_t height = 0;
    uint8_t byte10 = 0;
    uint8_t format = 0;
    uint32_t size = 0;  // as the catalogue's size rule computes it
    bool face = false;
    int faceNumber = -1;  // which drawn face, for face textures
};

struct GeneratedState {
    std::vector<uint8_t> file;   // the save-state file's bytes
    std::vector<uint8_t> state;  // the state's own bytes: `file` without its container
    std::vector<GeneratedTexture> textures;
    uint32_t tableStart = 0;
    uint32_t tableEnd = 0;
    uint32_t tableRoot = 0;
};

GeneratedState GenerateSaveState(const StateOptions& options);

// Lays what GenerateSaveState lays into RDRAM, into `memory`, a picture of
// RDRAM from address 0: the texture table at tableStart, the textures below
// textureTop and the two words at the release's table root. The result has no
// file and no state.
GeneratedState PlantTextureTable(std::vector<uint8_t>& memory, const StateOptions& options,
                                 uint32_t tableStart, uint32_t textureTop);

// cartridge.cpp

// A tiny cartridge of the project's own that a real emulator boots, so that
// the tests can have it save states and load ours: a header naming the game
// and its release, a boot program that copies the cartridge's first megabyte
// after it into RDRAM at the entry point and then idles there, and in that
// megabyte the texture table and textures that GenerateSaveState lays, at the
// release's table root.
struct GeneratedCartridge {
    std::vector<uint8_t> rom;     // the cartridge, .z64 byte order
    std::vector<uint8_t> memory;  // RDRAM from address 0 once the boot program has run
    std::vector<GeneratedTexture> textures;
    uint32_t tableStart = 0;
    uint32_t tableEnd = 0;
    uint32_t tableRoot = 0;
};

// Takes the region, the faces, the others, byte 10 of the faces, the name
// and the seed from `options`.
GeneratedCartridge GenerateCartridge(const StateOptions& options);

// Where the cartridge's program runs from (its header's entry point), and the
// two words there that idle: "j kEntryPoint; nop".
constexpr uint32_t kEntryPoint = 0x80000400;
std::array<uint32_t, 2> IdleLoop();

// state_options.cpp

// Reads morvane-make-state's state options (--layout, --faces and the rest, as
// its usage lists them) into `options`. Every other argument goes to `rest`,
// in order. False when an option's value is missing or bad; `refused` then
// names the option.
bool ParseStateOptions(const std::vector<std::string>& args, StateOptions& options,
                       std::vector<std::string>& rest, std::string* refused = nullptr);

// The MD5 that mupen64plus's ROM database gives each release's good dump.
std::string GoldeneyeMd5(Region region);

struct ZipEntry {
    std::string name;
    std::vector<uint8_t> data;
    bool deflate = true;     // false stores the entry uncompressed
    size_t emptyBlocks = 0;  // deflated: empty blocks before its data (EmptyDeflateBlocks)
};

// A PKZIP archive of the entries, in order, with CRCs, a central directory and
// no archive comment.
std::vector<uint8_t> MakeZip(const std::vector<ZipEntry>& entries);

// One gzip member, its deflate stream starting with `emptyBlocks` empty blocks.
std::vector<uint8_t> MakeGzip(const std::vector<uint8_t>& bytes, size_t emptyBlocks = 0);

// `count` empty deflate blocks, not final, each with code tables of its own
// (the kind that costs an inflater most), then an empty stored block that
// brings the stream to a byte boundary: raw deflate that any raw deflate
// stream may follow.
std::vector<uint8_t> EmptyDeflateBlocks(size_t count);

// RetroArch's RASTATE blocks around a core's state: "MEM " and "END ", with
// an "RPLY" block before them and an "ACHV" block after "MEM " when asked.
std::vector<uint8_t> MakeRastate(const std::vector<uint8_t>& core, bool extraBlocks,
                                 uint32_t seed);

// RetroArch's RZIP of `data`: version 1 with zlib chunks at RetroArch's level,
// the first starting with `emptyBlocks` empty blocks, version 2 with
// Zstandard frames.
std::vector<uint8_t> MakeRzip(const std::vector<uint8_t>& data, int version, uint32_t chunkSize,
                              size_t emptyBlocks = 0);

// The ".dat" entry Project 64 writes beside a zipped state: its magic, the disk
// registers and the system timers.
std::vector<uint8_t> TimingData(uint32_t seed);

// The game bytes of drawn face n: 2048 texel indices (row 0 is the bottom row
// of the picture) followed by 256 big-endian RGBA 5-5-5-1 palette entries.
std::array<uint8_t, 2560> FaceTexture(int n);

// A 32x64, 8-bit, bottom-up Windows bitmap with a 256-entry colour table that
// converts exactly to FaceTexture(n)'s texels and to its palette.
std::vector<uint8_t> FaceBitmap(int n);

}  // namespace morvane::gen
