#include "savestate/rzip.h"

#include <zstd.h>
#include <zstd_errors.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <system_error>
#include <thread>

#define ZLIB_CONST
#include <zlib.h>

#include "common/byte_cursor.h"
#include "common/byte_order.h"
#include "savestate/deflate_blocks.h"
#include "savestate/state_containers.h"

namespace morvane {
namespace {

constexpr char kMagicStart[] = "#RZIPv";
constexpr size_t kMagicStartSize = 6;
constexpr size_t kChunkHeaderSize = 4;
// Levels chosen for speed: RetroArch reads any level, and a 16 MiB state is
// packed again on every write.
constexpr int kZlibLevel = 1;
constexpr int kZstdLevel = 1;
constexpr unsigned kMaxWorkers = 8;

// Runs work(0) ... work(workers - 1), each on a thread of its own but the
// first, which runs on the caller's. A thread that cannot be started leaves
// its share to the caller. The browser build has no threads: there
// hardware_concurrency() is 1, so no thread is ever started.
void RunWorkers(unsigned workers, const std::function<void(unsigned)>& work) {
    std::vector<std::thread> threads;
    std::vector<unsigned> leftOver;
    for (unsigned w = 1; w < workers; ++w) {
        try {
            threads.emplace_back(work, w);
        } catch (const std::system_error&) {
            leftOver.push_back(w);
        }
    }
    work(0);
    for (const unsigned w : leftOver) {
        work(w);
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
}

unsigned WorkersFor(size_t jobs) {
    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    return static_cast<unsigned>(std::min<size_t>({cores, kMaxWorkers, std::max<size_t>(jobs, 1)}));
}

// --- Unpacking ---

// One chunk: where its compressed bytes lie in the file, where its bytes go.
struct ChunkSpan {
    size_t at = 0;      // file offset of the compressed bytes
    uint32_t size = 0;  // compressed length
};

// Inflates into `to` until it is full, the stream ends or fails, or its input
// runs out, counting the blocks and the bytes they produce: the status of
// the last call, or Z_DATA_ERROR once the blocks are too many (`padded`).
int InflateCounted(z_stream& stream, std::span<uint8_t> to, DeflateBlocks& blocks,
                   uint64_t& produced, bool& padded) {
    stream.next_out = to.data();
    stream.avail_out = static_cast<uInt>(to.size());
    int status = Z_OK;
    while (status == Z_OK && stream.avail_out != 0) {
        const uInt room = stream.avail_out;
        status = blocks.Inflate(stream);
        produced += room - stream.avail_out;
        if (!blocks.Within(produced)) {
            padded = true;
            return Z_DATA_ERROR;
        }
    }
    return status;
}

// Inflates one zlib chunk into exactly `out`. `blocks` and `produced` count
// for all the chunks one worker unpacks.
Error InflateChunk(z_stream& stream, DeflateBlocks& blocks, uint64_t& produced,
                   std::span<const uint8_t> in, std::span<uint8_t> out) {
    if (inflateReset(&stream) != Z_OK) {
        return Error::DamagedArchive;
    }
    blocks.Start(true);
    stream.next_in = in.data();
    stream.avail_in = static_cast<uInt>(in.size());
    bool padded = false;
    int status = InflateCounted(stream, out, blocks, produced, padded);
    if (padded) {
        return Error::CompressedDataPadded;
    }
    if (status == Z_STREAM_END) {
        if (stream.avail_out != 0) {
            return Error::RzipSizeMismatch;  // the chunk holds less than its share
        }
        return stream.avail_in == 0 ? Error::None : Error::DamagedArchive;
    }
    if (status != Z_OK || stream.avail_out != 0) {
        return Error::DamagedArchive;  // corrupt, or cut short
    }
    // The chunk's share is full and its stream goes on: one byte more tells
    // a bomb from a stream that only has its end left.
    uint8_t more = 0;
    status = InflateCounted(stream, std::span<uint8_t>(&more, 1), blocks, produced, padded);
    if (padded) {
        return Error::CompressedDataPadded;
    }
    if (stream.avail_out == 0) {
        return Error::RzipChunkTooLarge;
    }
    if (status != Z_STREAM_END) {
        return Error::DamagedArchive;
    }
    return stream.avail_in == 0 ? Error::None : Error::DamagedArchive;
}

// Decompresses one Zstandard chunk, which must be exactly one frame, into
// exactly `out`. A frame that declares its size must declare the chunk's
// share and hold it.
Error DecompressFrame(ZSTD_DCtx* context, std::span<const uint8_t> in, std::span<uint8_t> out) {
    const size_t frameSize = ZSTD_findFrameCompressedSize(in.data(), in.size());
    if (ZSTD_isError(frameSize) || frameSize != in.size()) {
        return Error::DamagedArchive;
    }
    const unsigned long long declared = ZSTD_getFrameContentSize(in.data(), in.size());
    if (declared == ZSTD_CONTENTSIZE_ERROR) {
        return Error::DamagedArchive;
    }
    const bool declares = declared != ZSTD_CONTENTSIZE_UNKNOWN;
    if (declares && declared != out.size()) {
        return Error::ZstdFrameSizeWrong;
    }
    const size_t produced =
        ZSTD_decompressDCtx(context, out.data(), out.size(), in.data(), in.size());
    if (ZSTD_isError(produced)) {
        const ZSTD_ErrorCode code = ZSTD_getErrorCode(produced);
        if (code == ZSTD_error_dstSize_tooSmall) {
            return declares ? Error::ZstdFrameSizeWrong : Error::RzipChunkTooLarge;
        }
        if (declares && code == ZSTD_error_corruption_detected) {
            return Error::ZstdFrameSizeWrong;
        }
        return Error::DamagedArchive;
    }
    if (produced != out.size()) {
        return declares ? Error::ZstdFrameSizeWrong : Error::RzipSizeMismatch;
    }
    return Error::None;
}

// Unpacks chunks [first, last) in order, each into its share of `data`; the
// first failure and the chunk it came at.
struct ChunkFailure {
    size_t chunk = SIZE_MAX;
    Error error = Error::None;
};

ChunkFailure UnpackChunks(std::span<const uint8_t> file, uint8_t version, uint32_t chunkSize,
                          size_t first, size_t last, size_t at, std::span<uint8_t> data) {
    ChunkFailure failure;
    z_stream stream{};
    DeflateBlocks blocks;
    uint64_t produced = 0;
    ZSTD_DCtx* context = nullptr;
    if (version == 1 ? inflateInit(&stream) != Z_OK : (context = ZSTD_createDCtx()) == nullptr) {
        failure = {first, Error::DamagedArchive};
        return failure;
    }
    for (size_t chunk = first; chunk < last; ++chunk) {
        const uint32_t size = LoadLE32(file.data() + at);
        const std::span<const uint8_t> in = file.subspan(at + kChunkHeaderSize, size);
        const size_t offset = chunk * chunkSize;
        const std::span<uint8_t> out =
            data.subspan(offset, std::min<size_t>(chunkSize, data.size() - offset));
        const Error error = version == 1 ? InflateChunk(stream, blocks, produced, in, out)
                                         : DecompressFrame(context, in, out);
        if (error != Error::None) {
            failure = {chunk, error};
            break;
        }
        at += kChunkHeaderSize + size;
    }
    if (version == 1) {
        inflateEnd(&stream);
    } else {
        ZSTD_freeDCtx(context);
    }
    return failure;
}

// --- Packing ---

// One compressor a worker keeps for all its chunks: a stream's set-up and its
// tables cost more than a 128 KiB chunk's compression.
class ChunkCompressor {
public:
    explicit ChunkCompressor(uint8_t version) : m_version(version) {
        if (version == 1) {
            m_ready = deflateInit(&m_zlib, kZlibLevel) == Z_OK;
        } else {
            m_zstd = ZSTD_createCCtx();
            m_ready = m_zstd != nullptr;
        }
    }
    ~ChunkCompressor() {
        if (m_version == 1) {
            deflateEnd(&m_zlib);
        } else {
            ZSTD_freeCCtx(m_zstd);
        }
    }
    ChunkCompressor(const ChunkCompressor&) = delete;
    ChunkCompressor& operator=(const ChunkCompressor&) = delete;

    // `in` as one complete zlib stream or Zstandard frame, into `out`.
    bool Compress(std::span<const uint8_t> in, std::vector<uint8_t>& out) {
        if (!m_ready) {
            return false;
        }
        if (m_version == 1) {
            out.resize(deflateBound(&m_zlib, static_cast<uLong>(in.size())));
            if (deflateReset(&m_zlib) != Z_OK) {
                return false;
            }
            m_zlib.next_in = in.data();
            m_zlib.avail_in = static_cast<uInt>(in.size());
            m_zlib.next_out = out.data();
            m_zlib.avail_out = static_cast<uInt>(out.size());
            if (deflate(&m_zlib, Z_FINISH) != Z_STREAM_END) {
                return false;
            }
            out.resize(out.size() - m_zlib.avail_out);
            return true;
        }
        out.resize(ZSTD_compressBound(in.size()));
        const size_t length =
            ZSTD_compressCCtx(m_zstd, out.data(), out.size(), in.data(), in.size(), kZstdLevel);
        if (ZSTD_isError(length)) {
            return false;
        }
        out.resize(length);
        return true;
    }

private:
    uint8_t m_version;
    bool m_ready = false;
    z_stream m_zlib{};
    ZSTD_CCtx* m_zstd = nullptr;
};

// The bytes [offset, offset + length) of the pieces laid end to end: a view
// into one piece, or a copy in `scratch` when they straddle two.
std::span<const uint8_t> Gather(std::span<const std::span<const uint8_t>> pieces, size_t offset,
                                size_t length, std::vector<uint8_t>& scratch) {
    size_t start = 0;
    for (const std::span<const uint8_t> piece : pieces) {
        if (offset < start + piece.size()) {
            if (offset + length <= start + piece.size()) {
                return piece.subspan(offset - start, length);
            }
            break;
        }
        start += piece.size();
    }
    scratch.clear();
    start = 0;
    for (const std::span<const uint8_t> piece : pieces) {
        const size_t end = start + piece.size();
        const size_t from = std::max(offset, start);
        const size_t to = std::min(offset + length, end);
        if (from < to) {
            scratch.insert(scratch.end(), piece.begin() + static_cast<ptrdiff_t>(from - start),
                           piece.begin() + static_cast<ptrdiff_t>(to - start));
        }
        start = end;
    }
    return scratch;
}

void PutLE32(uint8_t* at, uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        at[i] = static_cast<uint8_t>(value >> (8 * i));
    }
}

}  // namespace

bool IsRzip(std::span<const uint8_t> file) {
    return file.size() >= 8 && std::memcmp(file.data(), kMagicStart, kMagicStartSize) == 0 &&
           file[7] == '#';
}

Error UnpackRzip(std::span<const uint8_t> file, RzipFormat& format, ByteBuffer& data) {
    ByteCursor cursor(file);
    cursor.Skip(kMagicStartSize);
    const uint8_t version = cursor.U8();
    cursor.Skip(1);
    const uint32_t chunkSize = cursor.LE32();
    const uint32_t totalLow = cursor.LE32();
    const uint32_t totalHigh = cursor.LE32();
    if (!cursor.ok()) {
        return Error::StateTooShort;
    }
    if (version != 1 && version != 2) {
        return Error::RzipVersionUnsupported;
    }
    const uint64_t total = (static_cast<uint64_t>(totalHigh) << 32) | totalLow;
    if (chunkSize < kRzipMinimumChunkSize || total == 0) {
        return Error::RzipHeaderInvalid;
    }
    if (total > kMaxStateSize) {
        return Error::StateTooLarge;
    }
    // Every chunk's length against the file first, with nothing allocated;
    // where each worker's range of chunks starts is noted on the way.
    const size_t chunks = static_cast<size_t>((total + chunkSize - 1) / chunkSize);
    const unsigned workers = WorkersFor(chunks);
    std::vector<size_t> starts(workers + 1, 0);
    size_t at = kRzipHeaderSize;
    for (size_t chunk = 0; chunk < chunks; ++chunk) {
        for (unsigned w = 0; w < workers; ++w) {
            if (chunk == chunks * w / workers) {
                starts[w] = at;
            }
        }
        const size_t left = file.size() - at;
        if (left == 0) {
            return Error::RzipSizeMismatch;  // fewer chunks than the total needs
        }
        if (left < kChunkHeaderSize) {
            return Error::RzipChunkPastEnd;
        }
        const uint32_t size = LoadLE32(file.data() + at);
        if (size == 0) {
            return Error::DamagedArchive;
        }
        if (size > left - kChunkHeaderSize) {
            return Error::RzipChunkPastEnd;
        }
        at += kChunkHeaderSize + size;
    }
    if (at != file.size()) {
        return Error::RzipSizeMismatch;  // more chunks than the total needs
    }

    data.resize(static_cast<size_t>(total));
    std::vector<ChunkFailure> failures(workers);
    RunWorkers(workers, [&](unsigned w) {
        failures[w] = UnpackChunks(file, version, chunkSize, chunks * w / workers,
                                   chunks * (w + 1) / workers, starts[w], data);
    });
    // The failure of the earliest chunk, whichever worker met it first.
    const auto first = std::min_element(
        failures.begin(), failures.end(),
        [](const ChunkFailure& a, const ChunkFailure& b) { return a.chunk < b.chunk; });
    if (first->error != Error::None) {
        return first->error;
    }
    format.version = version;
    format.chunkSize = chunkSize;
    return Error::None;
}

Error PackRzip(const RzipFormat& format, std::span<const std::span<const uint8_t>> pieces,
               std::vector<uint8_t>& file) {
    size_t total = 0;
    for (const std::span<const uint8_t> piece : pieces) {
        total += piece.size();
    }
    if ((format.version != 1 && format.version != 2) || format.chunkSize == 0 || total == 0 ||
        total > kMaxStateSize) {
        return Error::CouldNotWriteSaveState;
    }
    const size_t chunks = (total + format.chunkSize - 1) / format.chunkSize;
    std::vector<std::vector<uint8_t>> packed(chunks);
    std::vector<char> failed(chunks, 0);
    const unsigned workers = WorkersFor(chunks);
    RunWorkers(workers, [&](unsigned w) {
        try {
            ChunkCompressor compressor(format.version);
            std::vector<uint8_t> scratch;
            for (size_t chunk = w; chunk < chunks; chunk += workers) {
                const size_t offset = chunk * format.chunkSize;
                const size_t length = std::min<size_t>(format.chunkSize, total - offset);
                failed[chunk] =
                    !compressor.Compress(Gather(pieces, offset, length, scratch), packed[chunk]);
            }
        } catch (const std::bad_alloc&) {
            for (size_t chunk = w; chunk < chunks; chunk += workers) {
                failed[chunk] = 1;
            }
        }
    });
    if (std::find(failed.begin(), failed.end(), 1) != failed.end()) {
        return Error::CouldNotWriteSaveState;
    }
    size_t size = kRzipHeaderSize;
    for (const std::vector<uint8_t>& chunk : packed) {
        size += kChunkHeaderSize + chunk.size();
    }
    std::vector<uint8_t> out(size);
    std::memcpy(out.data(), kMagicStart, kMagicStartSize);
    out[6] = format.version;
    out[7] = '#';
    PutLE32(out.data() + 8, format.chunkSize);
    PutLE32(out.data() + 12, static_cast<uint32_t>(total));
    PutLE32(out.data() + 16, static_cast<uint32_t>(static_cast<uint64_t>(total) >> 32));
    uint8_t* to = out.data() + kRzipHeaderSize;
    for (const std::vector<uint8_t>& chunk : packed) {
        PutLE32(to, static_cast<uint32_t>(chunk.size()));
        std::copy(chunk.begin(), chunk.end(), to + kChunkHeaderSize);
        to += kChunkHeaderSize + chunk.size();
    }
    file = std::move(out);
    return Error::None;
}

}  // namespace morvane
