#include "savestate/state_containers.h"

#include <algorithm>

#define ZLIB_CONST
#include <zip.h>
#include <zlib.h>

namespace morvane {
namespace {

constexpr size_t kChunk = 1024 * 1024;

// Closes a read-only archive, whatever happened, without writing anything.
class ArchiveReader {
public:
    explicit ArchiveReader(std::span<const uint8_t> archive) {
        zip_error_t error;
        zip_error_init(&error);
        zip_source_t* source =
            zip_source_buffer_create(archive.data(), archive.size(), 0, &error);
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

// The whole entry, refusing it as soon as it passes the limit.
Error ReadWholeEntry(zip_t* archive, zip_uint64_t index, std::vector<uint8_t>& bytes) {
    zip_stat_t stat;
    zip_stat_init(&stat);
    if (zip_stat_index(archive, index, 0, &stat) == 0 && (stat.valid & ZIP_STAT_SIZE) != 0 &&
        stat.size > kMaxStateSize) {
        return Error::StateTooLarge;
    }
    zip_file_t* file = zip_fopen_index(archive, index, 0);
    if (file == nullptr) {
        return Error::DamagedArchive;
    }
    // The size in the directory may lie; the limit holds whatever it says.
    bytes.clear();
    Error result = Error::None;
    for (;;) {
        const size_t have = bytes.size();
        const size_t room = std::min(kChunk, kMaxStateSize + 1 - have);
        bytes.resize(have + room);
        const zip_int64_t n = ReadEntry(file, bytes.data() + have, room);
        if (n < 0) {
            result = Error::DamagedArchive;
            break;
        }
        bytes.resize(have + static_cast<size_t>(n));
        if (bytes.size() > kMaxStateSize) {
            result = Error::StateTooLarge;
            break;
        }
        if (static_cast<size_t>(n) < room) {
            break;  // the entry ended, and its CRC was checked on the way
        }
    }
    if (zip_fclose(file) != 0 && result == Error::None) {
        result = Error::DamagedArchive;
    }
    return result;
}

}  // namespace

bool IsGzip(std::span<const uint8_t> file) {
    return file.size() >= 2 && file[0] == 0x1F && file[1] == 0x8B;
}

bool IsZip(std::span<const uint8_t> file) {
    return file.size() >= 4 && file[0] == 'P' && file[1] == 'K' &&
           ((file[2] == 3 && file[3] == 4) || (file[2] == 5 && file[3] == 6));
}

Error GunzipState(std::span<const uint8_t> file, std::vector<uint8_t>& state) {
    z_stream stream{};
    if (inflateInit2(&stream, 16 + MAX_WBITS) != Z_OK) {
        return Error::DamagedArchive;
    }
    std::vector<uint8_t> out;
    size_t fed = 0;       // bytes of `file` handed to zlib so far
    size_t produced = 0;  // bytes of `out` filled so far
    Error result = Error::None;
    for (;;) {
        if (stream.avail_in == 0 && fed < file.size()) {
            const size_t n = std::min(file.size() - fed, kChunk);
            stream.next_in = file.data() + fed;
            stream.avail_in = static_cast<uInt>(n);
            fed += n;
        }
        if (produced == out.size()) {
            if (out.size() > kMaxStateSize) {
                result = Error::StateTooLarge;
                break;
            }
            out.resize(std::min(out.size() + kChunk, kMaxStateSize + 1));
        }
        stream.next_out = out.data() + produced;
        stream.avail_out = static_cast<uInt>(out.size() - produced);
        const int status = inflate(&stream, Z_NO_FLUSH);
        produced = out.size() - stream.avail_out;
        if (status == Z_STREAM_END) {
            const std::span<const uint8_t> rest = file.subspan(fed - stream.avail_in);
            if (!IsGzip(rest)) {
                break;
            }
            inflateReset(&stream);
            continue;
        }
        if (status == Z_OK) {
            continue;
        }
        if (status == Z_BUF_ERROR && !(stream.avail_in == 0 && fed == file.size())) {
            continue;  // wants more room or more input, and both can still come
        }
        result = Error::DamagedArchive;  // corrupt, a bad CRC, or cut short
        break;
    }
    inflateEnd(&stream);
    if (result == Error::None && produced > kMaxStateSize) {
        result = Error::StateTooLarge;
    }
    if (result == Error::None) {
        out.resize(produced);
        state = std::move(out);
    }
    return result;
}

bool GzipState(std::span<const uint8_t> state, std::vector<uint8_t>& file) {
    if (state.size() > kMaxStateSize) {
        return false;  // beyond what zlib takes in one call, and beyond any state
    }
    z_stream stream{};
    if (deflateInit2(&stream, Z_DEFAULT_COMPRESSION, Z_DEFLATED, 16 + MAX_WBITS, 8,
                     Z_DEFAULT_STRATEGY) != Z_OK) {
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

Error ReadZipState(std::span<const uint8_t> archive, IsStateStart isState,
                   std::vector<uint8_t>& state, uint64_t& entry) {
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
        if (!isState(std::span<const uint8_t>(start, static_cast<size_t>(n)))) {
            continue;
        }
        std::vector<uint8_t> bytes;
        if (const Error read = ReadWholeEntry(zip, index, bytes); read != Error::None) {
            return read;
        }
        state = std::move(bytes);
        entry = index;
        return Error::None;
    }
    return passedOverEncrypted ? Error::DamagedArchive : Error::NoStateInArchive;
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
