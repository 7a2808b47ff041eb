#include "savestate/state_containers.h"

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

#define ZLIB_CONST
#include <zip.h>
#include <zlib.h>

#include "common/byte_cursor.h"
#include "savestate/deflate_blocks.h"

namespace morvane {
namespace {

constexpr size_t kChunk = 1024 * 1024;
// A state's magic: the first word.
constexpr uint64_t kMagicBytes = 4;
// A gzipped state is 16 MiB, all of it compressed again on every write: the
// level is chosen for speed, as RZIP's is; the emulators read any level.
constexpr int kGzipLevel = 1;

// Closes a read-only archive, whatever happened, without writing anything.
// Opened with its consistency checked, unless `checked` is false.
class ArchiveReader {
public:
    explicit ArchiveReader(std::span<const uint8_t> archive, bool checked = true) {
        zip_error_t error;
        zip_error_init(&error);
        zip_source_t* source = zip_source_buffer_create(archive.data(), archive.size(), 0, &error);
        if (source != nullptr) {
            m_archive = zip_open_from_source(
                source, checked ? ZIP_RDONLY | ZIP_CHECKCONS : ZIP_RDONLY, &error);
            if (m_archive == nullptr) {
                zip_source_free(source);
            }
        }
        m_error = zip_error_code_zip(&error);
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
    // libzip's ZIP_ER_* code for an archive that could not be opened.
    int error() const { return m_error; }

private:
    zip_t* m_archive = nullptr;
    int m_error = ZIP_ER_OK;
};

// The first name that two entries of the archive share, or empty. libzip
// refuses such an archive when it checks its consistency, so it is opened
// again unchecked, only to find the name.
std::string SharedEntryName(std::span<const uint8_t> archive) {
    const ArchiveReader reader(archive, false);
    zip_t* zip = reader.get();
    const zip_int64_t count = zip != nullptr ? zip_get_num_entries(zip, 0) : 0;
    if (count < 0 || static_cast<uint64_t>(count) > kMaxZipEntries) {
        return "";  // not an archive of a state's size: each name against each is no work for it
    }
    std::vector<std::string_view> names;
    for (zip_int64_t index = 0; index < count; ++index) {
        const char* name = zip_get_name(zip, static_cast<zip_uint64_t>(index), ZIP_FL_ENC_RAW);
        if (name == nullptr) {
            continue;
        }
        if (std::find(names.begin(), names.end(), name) != names.end()) {
            return name;
        }
        names.emplace_back(name);
    }
    return "";
}

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

// One entry of an open archive, read unpacked. A deflated entry's compressed
// bytes come from libzip and are inflated here, so that its blocks are
// counted (deflate_blocks.h); its size and CRC are checked at its end. libzip
// unpacks an entry of any other method itself, checking its CRC.
class EntryReader {
public:
    EntryReader() = default;
    ~EntryReader() { Close(); }
    EntryReader(const EntryReader&) = delete;
    EntryReader& operator=(const EntryReader&) = delete;

    // DamagedArchive when the entry cannot be opened.
    Error Open(zip_t* zip, zip_uint64_t index) {
        zip_stat_t stat;
        zip_stat_init(&stat);
        if (zip_stat_index(zip, index, 0, &stat) != 0) {
            return Error::DamagedArchive;
        }
        constexpr zip_uint64_t kSizes = ZIP_STAT_SIZE | ZIP_STAT_CRC | ZIP_STAT_COMP_METHOD;
        m_deflated = (stat.valid & kSizes) == kSizes && stat.comp_method == ZIP_CM_DEFLATE;
        if (m_deflated) {
            if (inflateInit2(&m_zlib, -MAX_WBITS) != Z_OK) {
                return Error::DamagedArchive;
            }
            m_zlibReady = true;
            m_size = stat.size;
            m_crc = stat.crc;
            m_input.resize(kEntryInput);
        }
        m_file = zip_fopen_index(zip, index, m_deflated ? ZIP_FL_COMPRESSED : 0);
        return m_file != nullptr ? Error::None : Error::DamagedArchive;
    }

    // Fills `into`: fewer bytes only at the entry's end. 0 with `failure`
    // set when the entry is damaged (DamagedArchive) or padded
    // (CompressedDataPadded).
    size_t Read(std::span<uint8_t> into, Error& failure) {
        if (m_file == nullptr) {
            return 0;
        }
        const size_t done = m_deflated ? Inflate(into, failure) : Unpacked(into, failure);
        if (failure != Error::None) {
            Close();
            return 0;
        }
        return done;
    }

private:
    static constexpr size_t kEntryInput = 64 * 1024;

    size_t Unpacked(std::span<uint8_t> into, Error& failure) {
        // libzip checks the CRC once the entry's end has been read.
        const zip_int64_t n = ReadEntry(m_file, into.data(), into.size());
        if (n >= 0 && static_cast<size_t>(n) == into.size()) {
            return into.size();
        }
        // The end of the entry, or a damaged one: either way it is done with.
        const bool closed = zip_fclose(m_file) == 0;
        m_file = nullptr;
        if (n < 0 || !closed) {
            failure = Error::DamagedArchive;
            return 0;
        }
        return static_cast<size_t>(n);
    }

    size_t Inflate(std::span<uint8_t> into, Error& failure) {
        size_t done = 0;
        while (done < into.size()) {
            if (m_zlib.avail_in == 0 && !m_inputEnded) {
                const zip_int64_t n = zip_fread(m_file, m_input.data(), m_input.size());
                if (n < 0) {
                    failure = Error::DamagedArchive;
                    return 0;
                }
                m_inputEnded = n == 0;
                m_zlib.next_in = m_input.data();
                m_zlib.avail_in = static_cast<uInt>(n);
            }
            const size_t room = std::min(into.size() - done, kChunk);
            m_zlib.next_out = into.data() + done;
            m_zlib.avail_out = static_cast<uInt>(room);
            const int status = m_blocks.Inflate(m_zlib);
            const size_t got = room - m_zlib.avail_out;
            m_crcSoFar = crc32(m_crcSoFar, into.data() + done, static_cast<uInt>(got));
            done += got;
            m_produced += got;
            if (!m_blocks.Within(m_produced)) {
                failure = Error::CompressedDataPadded;
                return 0;
            }
            if (status == Z_STREAM_END) {
                // What the entry unpacked to must be what the archive says.
                const bool whole = m_produced == m_size && m_crcSoFar == m_crc;
                Close();
                failure = whole ? Error::None : Error::DamagedArchive;
                return whole ? done : 0;
            }
            if (status == Z_OK ||
                (status == Z_BUF_ERROR && !(m_zlib.avail_in == 0 && m_inputEnded))) {
                continue;  // wants more room or more input, and both can still come
            }
            failure = Error::DamagedArchive;  // corrupt, or cut short
            return 0;
        }
        return done;
    }

    void Close() {
        if (m_file != nullptr) {
            zip_fclose(m_file);
            m_file = nullptr;
        }
        if (m_zlibReady) {
            inflateEnd(&m_zlib);
            m_zlibReady = false;
        }
    }

    zip_file_t* m_file = nullptr;
    bool m_deflated = false;
    z_stream m_zlib{};
    bool m_zlibReady = false;
    std::vector<uint8_t> m_input;
    bool m_inputEnded = false;
    DeflateBlocks m_blocks;
    uint64_t m_produced = 0;
    uint64_t m_size = 0;  // what the archive says the entry unpacks to
    uint32_t m_crc = 0;
    uLong m_crcSoFar = 0;
};

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

bool ZipEntryCount(std::span<const uint8_t> archive, uint64_t& entries) {
    // The end of central directory record: 22 bytes and a comment of at most
    // 65535, at the very end of the archive.
    constexpr size_t kEndRecord = 22;
    constexpr size_t kMaxComment = 0xFFFF;
    if (archive.size() < kEndRecord) {
        return false;
    }
    const size_t lowest =
        archive.size() - kEndRecord > kMaxComment ? archive.size() - kEndRecord - kMaxComment : 0;
    for (size_t at = archive.size() - kEndRecord + 1; at-- > lowest;) {
        ByteCursor end(archive.subspan(at));
        if (end.LE32() != 0x06054B50) {
            continue;
        }
        end.Skip(6);  // disk numbers, entries on this disk
        const uint16_t total = end.LE16();
        const uint32_t size = end.LE32();
        const uint32_t offset = end.LE32();
        if (total != 0xFFFF && size != 0xFFFFFFFF && offset != 0xFFFFFFFF) {
            entries = total;
            return true;
        }
        // Zip64: a locator 20 bytes before the record gives the zip64 record.
        // Without one, the 16-bit count is the count.
        ByteCursor locator(archive.subspan(at >= 20 ? at - 20 : 0, at >= 20 ? 20 : 0));
        if (locator.LE32() != 0x07064B50) {
            entries = total;
            return true;
        }
        locator.Skip(4);
        const uint64_t record = locator.LE32() | (uint64_t{locator.LE32()} << 32);
        ByteCursor zip64(archive);
        if (!zip64.Seek(record < archive.size() ? static_cast<size_t>(record) : archive.size()) ||
            zip64.LE32() != 0x06064B50) {
            return false;
        }
        zip64.Skip(8 + 2 + 2 + 4 + 4 + 8);  // size, versions, disks, entries on this disk
        entries = zip64.LE32() | (uint64_t{zip64.LE32()} << 32);
        return zip64.ok();
    }
    return false;
}

Error FindZipState(std::span<const uint8_t> archive, IsStateStart isState, uint64_t& entry,
                   std::string* sharedName) {
    if (uint64_t entries = 0; ZipEntryCount(archive, entries) && entries > kMaxZipEntries) {
        return Error::TooManyArchiveEntries;
    }
    const ArchiveReader reader(archive);
    zip_t* zip = reader.get();
    if (zip == nullptr && reader.error() == ZIP_ER_EXISTS) {
        // Two entries of one name: which of them the emulator would take is
        // anyone's guess, and so is which the new archive should replace.
        std::string name = SharedEntryName(archive);
        if (!name.empty()) {
            if (sharedName != nullptr) {
                *sharedName = std::move(name);
            }
            return Error::DuplicateArchiveEntry;
        }
    }
    if (zip == nullptr) {
        return Error::DamagedArchive;
    }
    const zip_int64_t count = zip_get_num_entries(zip, 0);
    if (count < 0) {
        return Error::DamagedArchive;
    }
    if (static_cast<uint64_t>(count) > kMaxZipEntries) {
        return Error::TooManyArchiveEntries;
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
        // A folder, or an entry too short for a state's magic, is not looked
        // into: opening some kinds of entry costs a whole block unpacked.
        const bool folder = (stat.valid & ZIP_STAT_NAME) != 0 && stat.name != nullptr &&
                            std::string_view(stat.name).ends_with('/');
        if (folder || ((stat.valid & ZIP_STAT_SIZE) != 0 && stat.size < kMagicBytes)) {
            continue;
        }
        EntryReader reader;
        if (const Error opened = reader.Open(zip, index); opened != Error::None) {
            return opened;
        }
        uint8_t start[4] = {};
        Error failure = Error::None;
        const size_t n = reader.Read(start, failure);
        if (failure != Error::None) {
            return failure;
        }
        if (isState(std::span<const uint8_t>(start, n))) {
            // Project64 deflates its states; another method (bzip2, xz,
            // Zstandard) it cannot have written, and unpacking one costs
            // far more time than inflating.
            const bool method = (stat.valid & ZIP_STAT_COMP_METHOD) != 0;
            if (method && stat.comp_method != ZIP_CM_DEFLATE && stat.comp_method != ZIP_CM_STORE) {
                return Error::StateEntryMethod;
            }
            entry = index;
            return Error::None;
        }
    }
    return passedOverEncrypted ? Error::DamagedArchive : Error::NoStateInArchive;
}

struct ZipEntrySource::Entry {
    explicit Entry(std::span<const uint8_t> archive) : archive(archive) {}
    ArchiveReader archive;
    EntryReader reader;
};

ZipEntrySource::ZipEntrySource(std::span<const uint8_t> archive, uint64_t entry)
    : m_entry(std::make_unique<Entry>(archive)) {
    m_failure = m_entry->archive.get() != nullptr
                    ? m_entry->reader.Open(m_entry->archive.get(), entry)
                    : Error::DamagedArchive;
}

ZipEntrySource::~ZipEntrySource() = default;

size_t ZipEntrySource::Read(std::span<uint8_t> into) {
    if (m_failure != Error::None) {
        return 0;
    }
    return m_entry->reader.Read(into, m_failure);
}

bool MemorySink::Write(std::span<const uint8_t> bytes) {
    const size_t at = static_cast<size_t>(m_position);
    const size_t overlap = std::min(bytes.size(), m_bytes.size() - at);
    std::copy_n(bytes.begin(), overlap, m_bytes.begin() + static_cast<ptrdiff_t>(at));
    m_bytes.insert(m_bytes.end(), bytes.begin() + static_cast<ptrdiff_t>(overlap), bytes.end());
    m_position += bytes.size();
    return true;
}

bool MemorySink::Seek(uint64_t offset) {
    if (offset > m_bytes.size()) {
        return false;
    }
    m_position = offset;
    return true;
}

namespace {

// A libzip source over an archive we own, whose rewritten form goes to a sink
// we own. libzip reads the old archive through it while it writes the new
// one; freeing the source frees nothing of ours.
class RewriteSource {
public:
    RewriteSource(std::span<const uint8_t> archive, ArchiveSink& sink)
        : m_archive(archive), m_sink(sink) {
        zip_error_init(&m_error);
    }
    ~RewriteSource() { zip_error_fini(&m_error); }
    RewriteSource(const RewriteSource&) = delete;
    RewriteSource& operator=(const RewriteSource&) = delete;

    static zip_int64_t Call(void* self, void* data, zip_uint64_t length, zip_source_cmd_t command) {
        return static_cast<RewriteSource*>(self)->Handle(data, length, command);
    }

    bool committed() const { return m_committed; }

private:
    zip_int64_t Fail(int code) {
        zip_error_set(&m_error, code, 0);
        return -1;
    }

    zip_int64_t Handle(void* data, zip_uint64_t length, zip_source_cmd_t command) {
        switch (command) {
            case ZIP_SOURCE_OPEN:
                m_read = 0;
                return 0;
            case ZIP_SOURCE_READ: {
                const size_t count =
                    static_cast<size_t>(std::min<uint64_t>(length, m_archive.size() - m_read));
                std::copy_n(m_archive.begin() + static_cast<ptrdiff_t>(m_read), count,
                            static_cast<uint8_t*>(data));
                m_read += count;
                return static_cast<zip_int64_t>(count);
            }
            case ZIP_SOURCE_CLOSE:
                return 0;
            case ZIP_SOURCE_STAT: {
                zip_stat_t* stat = ZIP_SOURCE_GET_ARGS(zip_stat_t, data, length, &m_error);
                if (stat == nullptr) {
                    return -1;
                }
                zip_stat_init(stat);
                stat->size = m_archive.size();
                stat->valid |= ZIP_STAT_SIZE;
                return sizeof(zip_stat_t);
            }
            case ZIP_SOURCE_SEEK: {
                const zip_int64_t to = zip_source_seek_compute_offset(m_read, m_archive.size(),
                                                                      data, length, &m_error);
                if (to < 0) {
                    return -1;
                }
                m_read = static_cast<uint64_t>(to);
                return 0;
            }
            case ZIP_SOURCE_TELL:
                return static_cast<zip_int64_t>(m_read);
            case ZIP_SOURCE_BEGIN_WRITE:
                return 0;
            case ZIP_SOURCE_BEGIN_WRITE_CLONING:
                // The entries before the first changed one go out as they
                // were, byte for byte; libzip writes the rest.
                if (length > m_archive.size() || !m_sink.Write(m_archive.first(length))) {
                    return Fail(ZIP_ER_WRITE);
                }
                return 0;
            case ZIP_SOURCE_WRITE:
                if (!m_sink.Write(std::span(static_cast<const uint8_t*>(data), length))) {
                    return Fail(ZIP_ER_WRITE);
                }
                return static_cast<zip_int64_t>(length);
            case ZIP_SOURCE_SEEK_WRITE: {
                const zip_int64_t to = zip_source_seek_compute_offset(
                    m_sink.position(), m_sink.size(), data, length, &m_error);
                if (to < 0) {
                    return -1;
                }
                return m_sink.Seek(static_cast<uint64_t>(to)) ? 0 : Fail(ZIP_ER_SEEK);
            }
            case ZIP_SOURCE_TELL_WRITE:
                return static_cast<zip_int64_t>(m_sink.position());
            case ZIP_SOURCE_COMMIT_WRITE:
                m_committed = true;
                return 0;
            case ZIP_SOURCE_ROLLBACK_WRITE:
                return 0;
            case ZIP_SOURCE_FREE:
                return 0;  // the archive and the sink are the caller's
            case ZIP_SOURCE_ERROR:
                return zip_error_to_data(&m_error, data, length);
            case ZIP_SOURCE_SUPPORTS:
                return zip_source_make_command_bitmap(
                    ZIP_SOURCE_OPEN, ZIP_SOURCE_READ, ZIP_SOURCE_CLOSE, ZIP_SOURCE_STAT,
                    ZIP_SOURCE_SEEK, ZIP_SOURCE_TELL, ZIP_SOURCE_BEGIN_WRITE,
                    ZIP_SOURCE_BEGIN_WRITE_CLONING, ZIP_SOURCE_WRITE, ZIP_SOURCE_SEEK_WRITE,
                    ZIP_SOURCE_TELL_WRITE, ZIP_SOURCE_COMMIT_WRITE, ZIP_SOURCE_ROLLBACK_WRITE,
                    ZIP_SOURCE_REMOVE, ZIP_SOURCE_FREE, ZIP_SOURCE_ERROR, ZIP_SOURCE_SUPPORTS, -1);
            default:
                // Removing the archive (every entry gone) never happens here:
                // the state's entry is replaced, not deleted.
                return Fail(ZIP_ER_OPNOTSUPP);
        }
    }

    std::span<const uint8_t> m_archive;
    ArchiveSink& m_sink;
    zip_error_t m_error;
    uint64_t m_read = 0;
    bool m_committed = false;
};

}  // namespace

bool WriteZipState(std::span<const uint8_t> archive, uint64_t entry, std::span<const uint8_t> state,
                   ArchiveSink& sink) {
    RewriteSource rewrite(archive, sink);
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* source = zip_source_function_create(RewriteSource::Call, &rewrite, &error);
    zip_t* zip = source != nullptr ? zip_open_from_source(source, 0, &error) : nullptr;
    zip_error_fini(&error);
    if (zip == nullptr) {
        if (source != nullptr) {
            zip_source_free(source);
        }
        return false;
    }
    // The state's bytes stay ours: libzip reads them while it closes the
    // archive and never frees them.
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
        return rewrite.committed();
    }
    zip_discard(zip);
    return false;
}

bool ZipFiles(std::span<const ArchiveFile> files, ArchiveSink& sink) {
    // An empty archive of ours, rewritten into the sink with the files added.
    RewriteSource rewrite({}, sink);
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* source = zip_source_function_create(RewriteSource::Call, &rewrite, &error);
    zip_t* zip =
        source != nullptr ? zip_open_from_source(source, ZIP_CREATE | ZIP_TRUNCATE, &error) : nullptr;
    zip_error_fini(&error);
    if (zip == nullptr) {
        if (source != nullptr) {
            zip_source_free(source);
        }
        return false;
    }
    bool ok = true;
    for (const ArchiveFile& file : files) {
        zip_source_t* data = zip_source_buffer(zip, file.bytes.data(), file.bytes.size(), 0);
        const zip_int64_t index =
            data != nullptr ? zip_file_add(zip, file.name.c_str(), data, ZIP_FL_ENC_UTF_8) : -1;
        if (index < 0) {
            if (data != nullptr) {
                zip_source_free(data);
            }
            ok = false;
            break;
        }
        ok = zip_set_file_compression(zip, static_cast<zip_uint64_t>(index), ZIP_CM_STORE, 0) == 0;
        if (!ok) {
            break;
        }
    }
    if (ok && zip_close(zip) == 0) {
        return rewrite.committed();
    }
    zip_discard(zip);
    return false;
}

}  // namespace morvane
