// Reading zip archives: finding the state's entry among at most a few, and
// inflating it with its blocks counted; and the plain source.

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

size_t PlainSource::Read(std::span<uint8_t> into) {
    const size_t count = std::min(into.size(), m_state.size());
    std::copy_n(m_state.begin(), count, into.begin());
    m_state = m_state.subspan(count);
    return count;
}

bool IsZip(std::span<const uint8_t> file) {
    return file.size() >= 4 && file[0] == 'P' && file[1] == 'K' &&
           ((file[2] == 3 && file[3] == 4) || (file[2] == 5 && file[3] == 6));
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

}  // namespace morvane
