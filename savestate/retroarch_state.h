#pragma once
// RetroArch's save-state files (NAME.state, NAME.state1 ..., NAME.state.auto),
// from the outside in (RetroArch tasks/task_save.c):
//
// 1. RZIP (rzip.h) when savestate compression is on, RetroArch's default;
//    otherwise nothing.
// 2. RASTATE blocks: "RASTATE" and the version byte 1, then blocks, each a
//    4-character id, a u32 little-endian size (the payload's real size) and
//    the payload, zero-padded to a multiple of 8 bytes:
//      "MEM "  the core's own state
//      "ACHV"  achievements
//      "RPLY"  a replay, which comes before "MEM " while one is recorded
//      "END "  size 0, the last block
//    in any order. RetroArch before 2021 wrote the core's state bare instead.
// 3. The core's state. RetroArch's N64 cores, mupen64plus-next and
//    parallel-n64, write an "M64+SAVE" state there, not gzipped.
//
// A state goes back in the form it came in: the same RZIP version and chunk
// size (or none), every other block byte for byte and in its place, and the
// core's state of the same length.

#include <cstdint>
#include <span>
#include <vector>

#include "common/byte_buffer.h"
#include "common/error.h"

namespace morvane {

// How a RetroArch state is wrapped around the core's state.
struct RetroArchWrapping {
    uint8_t rzipVersion = 0;  // 1 (zlib) or 2 (Zstandard); 0 when not compressed
    uint32_t chunkSize = 0;   // RZIP's uncompressed chunk size
    bool blocks = false;      // RASTATE blocks, or the core's state bare
    ByteBuffer before;        // every byte before the core's state: the RASTATE
                              // header, earlier blocks, and MEM's id and size
    ByteBuffer after;         // MEM's padding and every byte after it
};

// retroarch_state.cpp

// True when `file` starts as a RetroArch container does: an RZIP header or
// "RASTATE". A bare, uncompressed core state has no mark of RetroArch's.
bool IsRetroArchState(std::span<const uint8_t> file);

// True when the first bytes read of a file (four or more) may start a
// RetroArch container, so that the file is read whole.
bool MayBeRetroArchState(std::span<const uint8_t> start);

// True when the core's state is an N64 state of mupen64plus-next or
// parallel-n64 ("M64+SAVE").
bool HoldsN64CoreState(std::span<const uint8_t> payload);

// Unpacks a RetroArch state: its RZIP, then its blocks. `payload` views the
// core's state, inside `unpacked` for a compressed file and inside `file`
// otherwise. The errors of UnpackRzip, and StateTooLarge,
// RastateVersionUnsupported, RastateBlockPastEnd, RastateNoEnd,
// RastateTwoMem, RastateNoMem.
Error UnwrapRetroArchState(std::span<const uint8_t> file, RetroArchWrapping& wrapping,
                           ByteBuffer& unpacked, std::span<const uint8_t>& payload);

// The file again, with `payload` in place of the core's state it came with,
// which must have the same length. CouldNotWriteSaveState when it has not, or
// when the file cannot be packed.
Error WrapRetroArchState(const RetroArchWrapping& wrapping, std::span<const uint8_t> payload,
                         std::vector<uint8_t>& file);

}  // namespace morvane
