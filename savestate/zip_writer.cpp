// Writing zip archives: a state's archive again with its state entry
// replaced, every other entry carried as it was, and new archives of
// pictures. libzip reads and writes through a source of ours, so that it
// never owns or frees a buffer of ours.

#include "savestate/state_containers.h"

#include <algorithm>
#include <string>
#include <vector>

#include <zip.h>

namespace morvane {

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
