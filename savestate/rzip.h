#pragma once
// RZIP, the compression RetroArch puts around its save states when
// "savestate_file_compression" is on (libretro-common streams/rzip_stream.c).
// Little-endian throughout (offsets and sizes in bytes):
//
//   offset  size  field
//   0       8     "#RZIPv", the version byte, "#": 1 has zlib chunks, 2 Zstandard frames
//   8       4     the uncompressed size of every chunk but the last (RetroArch: 131072)
//   12      8     the total uncompressed size
//   20      ...   the chunks, each a u32 compressed length and then one complete
//                 zlib stream (header and Adler-32) or one Zstandard frame
//
// Every chunk unpacks to exactly the chunk size, the last to what is left of
// the total. The chunks are independent streams, so they are unpacked and
// packed on every core at once.

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "common/byte_buffer.h"
#include "common/error.h"

namespace morvane {

inline constexpr size_t kRzipHeaderSize = 20;
// RetroArch's own chunk size, for states made here from nothing.
inline constexpr uint32_t kRzipDefaultChunkSize = 131072;
// The smallest chunk size read. RetroArch always writes 131072; far smaller
// chunks would only let a hostile file ask for millions of streams.
inline constexpr uint32_t kRzipMinimumChunkSize = 1024;

struct RzipFormat {
    uint8_t version = 1;                         // 1: zlib, 2: Zstandard
    uint32_t chunkSize = kRzipDefaultChunkSize;  // uncompressed bytes per chunk
};

// rzip.cpp

// True when `file` starts with "#RZIPv", any version byte, and "#".
bool IsRzip(std::span<const uint8_t> file);

// Unpacks the whole of an RZIP file into `data`, replacing its contents, and
// tells its version and chunk size. Every chunk length is checked against the
// file, and the total against kMaxStateSize, before anything is allocated.
// StateTooShort (a cut header), RzipVersionUnsupported, RzipHeaderInvalid,
// StateTooLarge, RzipChunkPastEnd, RzipSizeMismatch, RzipChunkTooLarge,
// ZstdFrameSizeWrong, DamagedArchive, and CompressedDataPadded for zlib
// chunks of far more deflate blocks than their bytes need (deflate_blocks.h,
// counted over all the chunks one thread unpacks).
Error UnpackRzip(std::span<const uint8_t> file, RzipFormat& format, ByteBuffer& data);

// The pieces, laid end to end, packed as RZIP of `format`'s version and chunk
// size, the chunks compressed at a level chosen for speed. The pieces are
// read where they lie. CouldNotWriteSaveState when the format cannot hold
// them or a compressor fails.
Error PackRzip(const RzipFormat& format, std::span<const std::span<const uint8_t>> pieces,
               std::vector<uint8_t>& file);

}  // namespace morvane
