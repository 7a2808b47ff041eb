#include "savestate/state_containers.h"

#include <algorithm>

#define ZLIB_CONST
#include <zip.h>
#include <zlib.h>

namespace morvane {
namespace {

constexpr size_t kChunk = 1024 * 1024;
// A gzipped state is 16 MiB, all of it compressed again on every write: the
// level is chosen for speed, as RZIP's is; the emulators read any level.
constexpr int kGzipLevel = 1;

// Closes a read-only archive, whatever happened, without writing anything.
class ArchiveReader {
public:
    explicit ArchiveReader(std::span<const uint8_t> archive) {
        zip_error_t error;
        zip_error_init(&error);
        zip_source_t* source = zip_source_buffer_create(archive.data(), archive.size(), 0, &error);
        if (source != nullptr) {
            m_archive = zip_open_from_source(source, ZIP_RDONLY | ZIP_CHECKCONS, &error);
            if (m_archive == nullptr) {
                zip_source_free(source);
            }
        }
        zip_error_fini(&error);
    }
    ~ArchiveReader() {
        if (m_archive != nullptr) {
            zip_discard(m_archive);
        }
    }
    ArchiveReader(const ArchiveReader&) = delete;
    ArchiveReader& operator=(const ArchiveReader&) = delete;

    zip_t* get() const { return m_archive; }

private:
    zip_t* m_archive = nullptr;
};

// Reads until `length` bytes have come or the entry ends; -1 on an error,
// which includes a CRC that does not match once the entry's end is reached.
zip_int64_t ReadEntry(zip_file_t* file, uint8_t* into, size_t length) {
    size_t done = 0;
    while (done < length) {
        const zip_int64_t n = zip_fread(file, into + done, length - done);
        if (n < 0) {
            return -1;
        }
        if (n == 0) {
            break;
        }
        done += static_cast<size_t>(n);
    }
    return static_cast<zip_int64_t>(done);
}

}  // namespace

bool IsGzip(std::span<const uint8_t> file) {
    return file.size() >= 2 && file[0] == 0x1F && file[1] == 0x8B;
}

bool IsZip(std::span<const uint8_t> file) {
    return file.size() >= 4 && file[0] == 'P' && file[1] == 'K' &&
           ((file[2] == 3 && file[3] == 4) || (file[2] == 5 && file[3] == 6));
}

size_t PlainSource::Read(std::span<uint8_t> into) {
    const size_t count = std::min(into.size(), m_state.size());
    std::copy_n(m_state.begin(), count, into.begin());
    m_state = m_state.subspan(count);
    return count;
}

struct GzipSource::Stream {
    z_stream zlib{};
    std::span<const uint8_t> file;
    size_t fed = 0;  // bytes of `file` handed to zlib so far
    bool ended = false;
};

GzipSource::GzipSource(std::span<const uint8_t> file) : m_stream(std::make_unique<Stream>()) {
    m_stream->file = file;
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
        const int status = inflate(&stream, Z_NO_FLUSH);
        produced += room - stream.avail_out;
        if (status == Z_STREAM_END) {
            // Another member may follow; anything else after the last one is
            // ignored.
            const std::span<const uint8_t> rest = s.file.subspan(s.fed - stream.avail_in);
            if (!IsGzip(rest)) {
                s.ended = true;
                break;
            }
            inflateReset(&stream);
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

Error FindZipState(std::span<const uint8_t> archive, IsStateStart isState, uint64_t& entry) {
    const ArchiveReader reader(archive);
    zip_t* zip = reader.get();
    if (zip == nullptr) {
        return Error::DamagedArchive;
    }
    const zip_int64_t count = zip_get_num_entries(zip, 0);
    if (count < 0) {
        return Error::DamagedArchive;
    }
    // An encrypted entry cannot be opened without its password, which we do
    // not have: it is passed over (and carried through unchanged on write).
    // Only when no other entry holds a state does it count against the file.
    bool passedOverEncrypted = false;
    for (zip_uint64_t index = 0; index < static_cast<zip_uint64_t>(count); ++index) {
        zip_stat_t stat;
        zip_stat_init(&stat);
        if (zip_stat_index(zip, index, 0, &stat) != 0) {
            return Error::DamagedArchive;
        }
        if ((stat.valid & ZIP_STAT_ENCRYPTION_METHOD) != 0 &&
            stat.encryption_method != ZIP_EM_NONE) {
            passedOverEncrypted = true;
            continue;
        }
        zip_file_t* file = zip_fopen_index(zip, index, 0);
        if (file == nullptr) {
            return Error::DamagedArchive;
        }
        uint8_t start[4] = {};
        const zip_int64_t n = ReadEntry(file, start, sizeof start);
        zip_fclose(file);
        if (n < 0) {
            return Error::DamagedArchive;
        }
        if (isState(std::span<const uint8_t>(start, static_cast<size_t>(n)))) {
            entry = index;
            return Error::None;
        }
    }
    return passedOverEncrypted ? Error::DamagedArchive : Error::NoStateInArchive;
}

struct ZipEntrySource::Entry {
    explicit Entry(std::span<const uint8_t> archive) : reader(archive) {}
    ArchiveReader reader;
    zip_file_t* file = nullptr;
};

ZipEntrySource::ZipEntrySource(std::span<const uint8_t> archive, uint64_t entry)
    : m_entry(std::make_unique<Entry>(archive)) {
    if (m_entry->reader.get() != nullptr) {
        m_entry->file = zip_fopen_index(m_entry->reader.get(), entry, 0);
    }
    if (m_entry->file == nullptr) {
        m_failure = Error::DamagedArchive;
    }
}

ZipEntrySource::~ZipEntrySource() {
    if (m_entry->file != nullptr) {
        zip_fclose(m_entry->file);
    }
}

size_t ZipEntrySource::Read(std::span<uint8_t> into) {
    if (m_entry->file == nullptr) {
        return 0;
    }
    // The CRC is checked once the entry's end has been read.
    const zip_int64_t n = ReadEntry(m_entry->file, into.data(), into.size());
    if (n >= 0 && static_cast<size_t>(n) == into.size()) {
        return into.size();
    }
    // The end of the entry, or a damaged one: either way it is done with.
    const bool closed = zip_fclose(m_entry->file) == 0;
    m_entry->file = nullptr;
    if (n < 0 || !closed) {
        m_failure = Error::DamagedArchive;
        return 0;
    }
    return static_cast<size_t>(n);
}

bool ReplaceZipState(std::span<const uint8_t> archive, uint64_t entry,
                     std::span<const uint8_t> state, std::vector<uint8_t>& file) {
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* source = zip_source_buffer_create(archive.data(), archive.size(), 0, &error);
    zip_t* zip = source != nullptr ? zip_open_from_source(source, 0, &error) : nullptr;
    zip_error_fini(&error);
    if (zip == nullptr) {
        if (source != nullptr) {
            zip_source_free(source);
        }
        return false;
    }
    // The archive is written back into `source`; keep it past zip_close to
    // read the result.
    zip_source_keep(source);
    bool ok = false;
    zip_source_t* data = zip_source_buffer(zip, state.data(), state.size(), 0);
    if (data != nullptr) {
        if (zip_file_replace(zip, entry, data, 0) == 0) {
            ok = zip_set_file_compression(zip, entry, ZIP_CM_DEFLATE, 0) == 0;
        } else {
            zip_source_free(data);
        }
    }
    if (ok && zip_close(zip) == 0) {
        zip = nullptr;
    } else {
        ok = false;
        zip_discard(zip);
        zip = nullptr;
    }
    if (ok) {
        zip_stat_t stat;
        zip_stat_init(&stat);
        ok = zip_source_stat(source, &stat) == 0 && (stat.valid & ZIP_STAT_SIZE) != 0 &&
             zip_source_open(source) == 0;
        if (ok) {
            std::vector<uint8_t> out(stat.size);
            ok = zip_source_read(source, out.data(), out.size()) ==
                 static_cast<zip_int64_t>(out.size());
            zip_source_close(source);
            if (ok) {
                file = std::move(out);
            }
        }
    }
    zip_source_free(source);
    return ok;
}

}  // namespace morvane
