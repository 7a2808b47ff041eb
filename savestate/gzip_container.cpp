// The gzip container: reading a gzipped state member by member, with its
// deflate blocks counted, and writing one.

#include "savestate/state_containers.h"

#include <algorithm>
#include <vector>

#define ZLIB_CONST
#include <zlib.h>

#include "savestate/deflate_blocks.h"

namespace morvane {
namespace {

constexpr size_t kChunk = 1024 * 1024;
// A gzipped state is 16 MiB, all of it compressed again on every write: the
// level is chosen for speed, as RZIP's is; the emulators read any level.
constexpr int kGzipLevel = 1;

}  // namespace

bool IsGzip(std::span<const uint8_t> file) {
    return file.size() >= 2 && file[0] == 0x1F && file[1] == 0x8B;
}

struct GzipSource::Stream {
    z_stream zlib{};
    std::span<const uint8_t> file;
    size_t fed = 0;         // bytes of `file` handed to zlib so far
    uint64_t produced = 0;  // bytes unpacked so far, every member's
    DeflateBlocks blocks;   // every member's, against `produced`
    bool ended = false;
};

GzipSource::GzipSource(std::span<const uint8_t> file) : m_stream(std::make_unique<Stream>()) {
    m_stream->file = file;
    m_stream->blocks.Start(true);
    if (inflateInit2(&m_stream->zlib, 16 + MAX_WBITS) != Z_OK) {
        m_failure = Error::DamagedArchive;
        m_stream->ended = true;
    }
}

GzipSource::~GzipSource() {
    inflateEnd(&m_stream->zlib);
}

size_t GzipSource::Read(std::span<uint8_t> into) {
    Stream& s = *m_stream;
    z_stream& stream = s.zlib;
    size_t produced = 0;
    while (produced < into.size() && !s.ended) {
        if (stream.avail_in == 0 && s.fed < s.file.size()) {
            const size_t n = std::min(s.file.size() - s.fed, kChunk);
            stream.next_in = s.file.data() + s.fed;
            stream.avail_in = static_cast<uInt>(n);
            s.fed += n;
        }
        const size_t room = std::min(into.size() - produced, kChunk);
        stream.next_out = into.data() + produced;
        stream.avail_out = static_cast<uInt>(room);
        const int status = s.blocks.Inflate(stream);
        produced += room - stream.avail_out;
        s.produced += room - stream.avail_out;
        if (!s.blocks.Within(s.produced)) {
            m_failure = Error::CompressedDataPadded;
            s.ended = true;
            return 0;
        }
        if (status == Z_STREAM_END) {
            // Another member may follow; anything else after the last one is
            // ignored.
            const std::span<const uint8_t> rest = s.file.subspan(s.fed - stream.avail_in);
            if (!IsGzip(rest)) {
                s.ended = true;
                break;
            }
            inflateReset(&stream);
            s.blocks.Start(true);
            continue;
        }
        if (status == Z_OK) {
            continue;
        }
        if (status == Z_BUF_ERROR && !(stream.avail_in == 0 && s.fed == s.file.size())) {
            continue;  // wants more room or more input, and both can still come
        }
        // Corrupt, a bad CRC, or cut short.
        m_failure = Error::DamagedArchive;
        s.ended = true;
        return 0;
    }
    return produced;
}

Error GunzipState(std::span<const uint8_t> file, std::vector<uint8_t>& state) {
    GzipSource source(file);
    std::vector<uint8_t> out;
    for (;;) {
        const size_t have = out.size();
        const size_t room = std::min(kChunk, kMaxStateSize + 1 - have);
        out.resize(have + room);
        const size_t n = source.Read(std::span<uint8_t>(out).subspan(have));
        if (source.failure() != Error::None) {
            return source.failure();
        }
        out.resize(have + n);
        if (out.size() > kMaxStateSize) {
            return Error::StateTooLarge;
        }
        if (n < room) {
            break;
        }
    }
    state = std::move(out);
    return Error::None;
}

bool GzipState(std::span<const uint8_t> state, std::vector<uint8_t>& file) {
    if (state.size() > kMaxStateSize) {
        return false;  // beyond what zlib takes in one call, and beyond any state
    }
    z_stream stream{};
    if (deflateInit2(&stream, kGzipLevel, Z_DEFLATED, 16 + MAX_WBITS, 8, Z_DEFAULT_STRATEGY) !=
        Z_OK) {
        return false;
    }
    std::vector<uint8_t> out(deflateBound(&stream, static_cast<uLong>(state.size())));
    stream.next_in = state.data();
    stream.avail_in = static_cast<uInt>(state.size());
    stream.next_out = out.data();
    stream.avail_out = static_cast<uInt>(out.size());
    const int status = deflate(&stream, Z_FINISH);
    const size_t written = out.size() - stream.avail_out;
    deflateEnd(&stream);
    if (status != Z_STREAM_END) {
        return false;
    }
    out.resize(written);
    file = std::move(out);
    return true;
}

}  // namespace morvane
