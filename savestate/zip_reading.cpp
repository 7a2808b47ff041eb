#include "savestate/zip_reading.h"

#include <algorithm>
#include <set>
#include <string_view>

namespace morvane {
namespace {

constexpr size_t kChunk = 1024 * 1024;
// What is read of a deflated entry's compressed bytes at a time.
constexpr size_t kEntryInput = 64 * 1024;

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

ArchiveReader::ArchiveReader(std::span<const uint8_t> archive, bool checked) {
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* source = zip_source_buffer_create(archive.data(), archive.size(), 0, &error);
    if (source != nullptr) {
        m_archive =
            zip_open_from_source(source, checked ? ZIP_RDONLY | ZIP_CHECKCONS : ZIP_RDONLY, &error);
        if (m_archive == nullptr) {
            zip_source_free(source);
        }
    }
    m_error = zip_error_code_zip(&error);
    zip_error_fini(&error);
}

ArchiveReader::~ArchiveReader() {
    if (m_archive != nullptr) {
        zip_discard(m_archive);
    }
}

std::string SharedEntryName(std::span<const uint8_t> archive, uint64_t maxEntries) {
    const ArchiveReader reader(archive, false);
    zip_t* zip = reader.get();
    const zip_int64_t count = zip != nullptr ? zip_get_num_entries(zip, 0) : 0;
    if (count < 0 || static_cast<uint64_t>(count) > maxEntries) {
        return "";  // past what the caller reads: each name against each would be work
    }
    std::set<std::string_view> names;
    for (zip_int64_t index = 0; index < count; ++index) {
        const char* name = zip_get_name(zip, static_cast<zip_uint64_t>(index), ZIP_FL_ENC_RAW);
        if (name != nullptr && !names.insert(name).second) {
            return name;
        }
    }
    return "";
}

Error EntryReader::Open(zip_t* zip, zip_uint64_t index) {
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

size_t EntryReader::Read(std::span<uint8_t> into, Error& failure) {
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

size_t EntryReader::Unpacked(std::span<uint8_t> into, Error& failure) {
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

size_t EntryReader::Inflate(std::span<uint8_t> into, Error& failure) {
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
        if (status == Z_OK || (status == Z_BUF_ERROR && !(m_zlib.avail_in == 0 && m_inputEnded))) {
            continue;  // wants more room or more input, and both can still come
        }
        failure = Error::DamagedArchive;  // corrupt, or cut short
        return 0;
    }
    return done;
}

void EntryReader::Close() {
    if (m_file != nullptr) {
        zip_fclose(m_file);
        m_file = nullptr;
    }
    if (m_zlibReady) {
        inflateEnd(&m_zlib);
        m_zlibReady = false;
    }
}

}  // namespace morvane
