#pragma once
// Inflating a deflate stream (zlib, gzip or raw) with the work bounded by
// what the stream holds.
//
// A deflate stream is a run of blocks, and a block may hold nothing at all:
// each of its own code tables costs zlib a microsecond to build, so a file
// padded with millions of empty blocks unpacks to almost nothing yet takes
// seconds per hundred MiB. No encoder ends a block that early: zlib ends one
// after 16,384 symbols (at least as many bytes) or at a flush, so a stream
// whose blocks produce less than 1 KiB each on average, past a few spare
// ones, is padded, and is refused as soon as its count of blocks says so.
// Every block is counted, whatever its kind, stored, fixed or dynamic.

#include <cstdint>

#ifndef ZLIB_CONST
#define ZLIB_CONST
#endif
#include <zlib.h>

namespace morvane {

// The blocks a stream (or several read as one source: gzip members, a
// worker's RZIP chunks) may have: kSpareDeflateBlocks, and one more for every
// kBytesPerDeflateBlock bytes it has produced.
inline constexpr uint64_t kSpareDeflateBlocks = 8;
inline constexpr uint64_t kBytesPerDeflateBlock = 1024;

class DeflateBlocks {
public:
    // A stream starts (again, after inflateReset): a zlib or gzip wrapper's
    // header, which inflate stops after as it does after a block, is no block.
    void Start(bool wrapped) { m_header = wrapped; }

    // inflate(&stream, Z_BLOCK), which stops at the end of every block,
    // counting the block it ended. A call that ended a block made progress
    // even when no whole byte went in or out (a small block can lie in bits
    // already taken), so it gives Z_OK rather than zlib's Z_BUF_ERROR.
    int Inflate(z_stream& stream);

    // False once more blocks have ended than `produced` bytes, all the
    // source has given so far, can take.
    bool Within(uint64_t produced) const {
        return m_blocks <= kSpareDeflateBlocks + produced / kBytesPerDeflateBlock;
    }

private:
    uint64_t m_blocks = 0;
    bool m_header = false;
};

}  // namespace morvane
