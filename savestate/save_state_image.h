#pragma once
// The save-state image: one Project 64 save state held in memory.
//
// File layout (offsets in bytes), every 32-bit word stored least significant
// byte first:
//
//   0          header block   1884 bytes      carried unchanged, two fields read
//   1884       RDRAM block    4 MiB           the console's main memory
//   4196188    tail block     8192 bytes      carried unchanged
//   4204380    trailing bytes any length      carried unchanged
//
// In memory the header, RDRAM and tail blocks hold the same words with the
// bytes of every word reversed ("memory order"), so the RDRAM block is a
// byte-for-byte picture of the console's big-endian memory: byte n of the block
// is console physical address n. Trailing bytes are kept exactly as they stand
// in the file.
//
// A game address maps to the RDRAM block by its low 24 bits.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <vector>

#include "common/error.h"

namespace morvane {

inline constexpr size_t kHeaderBlockSize = 1884;
inline constexpr size_t kRdramBlockSize = 4 * 1024 * 1024;
inline constexpr size_t kTailBlockSize = 8192;
inline constexpr size_t kSaveStateSize = kHeaderBlockSize + kRdramBlockSize + kTailBlockSize;
static_assert(kSaveStateSize == 4204380);
static_assert(kHeaderBlockSize % 4 == 0 && kRdramBlockSize % 4 == 0 && kTailBlockSize % 4 == 0);

inline constexpr uint32_t kAddressMask = 0xFFFFFF;

struct SaveStateImage {
    std::vector<uint8_t> header;      // memory order
    std::vector<uint8_t> RdramImage;  // memory order: the console's big-endian memory
    std::vector<uint8_t> tail;        // memory order
    std::vector<uint8_t> trailing;    // file order, everything after the tail block
    bool loaded = false;              // false until the first successful load
};

// save_state_image.cpp

// Takes the RDRAM buffer for a new image. False when it cannot be had.
bool AllocateRdram(SaveStateImage& image);

// Reads a save-state file's bytes into the image. StateTooShort, with the
// image left exactly as it was, when the file cannot hold the three blocks.
Error LoadSaveState(SaveStateImage& image, std::span<const uint8_t> file);

// Reads the file at `path` and loads it. CouldNotOpenFile when it cannot be
// read; otherwise as LoadSaveState.
Error LoadSaveStateFile(SaveStateImage& image, const std::filesystem::path& path);

// Copies `length` bytes from RDRAM at (address AND 0xFFFFFF) into `dest`, in
// memory order. Bytes that would lie past the end of the block are zero.
// Returns the number of bytes that came from the block.
uint32_t ReadRdram(const SaveStateImage& image, uint32_t address, uint32_t length, uint8_t* dest);

// Copies `bytes` into RDRAM at (address AND 0xFFFFFF), unchanged. A write that
// would run past the end of the block is refused whole: false, nothing written.
bool WriteRdram(SaveStateImage& image, uint32_t address, std::span<const uint8_t> bytes);

// True when (address AND 0xFFFFFF) + length lies within the RDRAM block.
bool RdramRangeFits(const SaveStateImage& image, uint32_t address, uint64_t length);

// The image as save-state file bytes, as WriteSaveState writes them.
std::vector<uint8_t> SaveStateFileBytes(const SaveStateImage& image);

// Writes the whole image to `path` atomically. CouldNotWriteSaveState when it
// fails, with any earlier file at `path` untouched. The image never changes.
Error WriteSaveState(const SaveStateImage& image, const std::filesystem::path& path);

}  // namespace morvane
