// Reading zip archives: finding the state's entry among at most a few, and
// inflating it with its blocks counted; reading out the files of a set of
// pictures whole; and the plain source.

#include "savestate/state_containers.h"

#include <algorithm>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/byte_cursor.h"
#include "savestate/zip_reading.h"

namespace morvane {
namespace {

// A state's magic: the first word.
constexpr uint64_t kMagicBytes = 4;

// Opens an archive of at most `maxEntries` entries into `reader`, giving
// their count: TooManyArchiveEntries past it, counted before libzip reads the
// whole central directory; DuplicateArchiveEntry when two entries have one
// name, which goes to `sharedName`; DamagedArchive when it cannot be opened.
Error OpenArchive(std::span<const uint8_t> archive, uint64_t maxEntries,
                  std::optional<ArchiveReader>& reader, zip_uint64_t& count,
                  std::string* sharedName) {
    if (uint64_t entries = 0; ZipEntryCount(archive, entries) && entries > maxEntries) {
        return Error::TooManyArchiveEntries;
    }
    reader.emplace(archive);
    zip_t* zip = reader->get();
    if (zip == nullptr && reader->error() == ZIP_ER_EXISTS) {
        // Two entries of one name: which of them was meant is anyone's
        // guess, and so is which a new archive should replace.
        std::string name = SharedEntryName(archive, maxEntries);
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
    const zip_int64_t entries = zip_get_num_entries(zip, 0);
    if (entries < 0) {
        return Error::DamagedArchive;
    }
    if (static_cast<uint64_t>(entries) > maxEntries) {
        return Error::TooManyArchiveEntries;
    }
    count = static_cast<zip_uint64_t>(entries);
    return Error::None;
}

// Reads an entry whole into `bytes`, a piece at a time, so that what an entry
// says of its size costs nothing until its bytes come: FileTooLarge (and no
// bytes) past `limit`.
Error ReadWhole(zip_t* zip, zip_uint64_t index, uint64_t limit, std::vector<uint8_t>& bytes) {
    constexpr size_t kPiece = 64 * 1024;
    EntryReader reader;
    if (const Error opened = reader.Open(zip, index); opened != Error::None) {
        return opened;
    }
    bytes.clear();
    for (;;) {
        const size_t at = bytes.size();
        const size_t want = static_cast<size_t>(std::min<uint64_t>(kPiece, limit + 1 - at));
        bytes.resize(at + want);
        Error failure = Error::None;
        const size_t got = reader.Read(std::span<uint8_t>(bytes).subspan(at), failure);
        bytes.resize(at + got);
        if (failure != Error::None || bytes.size() > limit) {
            bytes.clear();
            return failure != Error::None ? failure : Error::FileTooLarge;
        }
        if (got < want) {
            return Error::None;  // the entry's end
        }
    }
}

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
    std::optional<ArchiveReader> reader;
    zip_uint64_t count = 0;
    if (const Error opened = OpenArchive(archive, kMaxZipEntries, reader, count, sharedName);
        opened != Error::None) {
        return opened;
    }
    zip_t* zip = reader->get();
    // An encrypted entry cannot be opened without its password, which we do
    // not have: it is passed over (and carried through unchanged on write).
    // Only when no other entry holds a state does it count against the file.
    bool passedOverEncrypted = false;
    for (zip_uint64_t index = 0; index < count; ++index) {
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

Error ReadZipFiles(std::span<const uint8_t> archive, const ZipFileLimits& limits,
                   bool (*wanted)(std::string_view name), std::vector<ZipFileEntry>& files,
                   std::string* sharedName) {
    files.clear();
    std::optional<ArchiveReader> reader;
    zip_uint64_t count = 0;
    if (const Error opened = OpenArchive(archive, limits.entries, reader, count, sharedName);
        opened != Error::None) {
        return opened;
    }
    zip_t* zip = reader->get();
    uint64_t total = 0;
    for (zip_uint64_t index = 0; index < count; ++index) {
        zip_stat_t stat;
        zip_stat_init(&stat);
        if (zip_stat_index(zip, index, 0, &stat) != 0 || (stat.valid & ZIP_STAT_NAME) == 0 ||
            stat.name == nullptr) {
            return Error::DamagedArchive;
        }
        ZipFileEntry file;
        file.name = stat.name;
        if (file.name.ends_with('/')) {
            continue;  // a folder: its files are entries of their own
        }
        // Some archivers separate folders with a backslash.
        const size_t slash = file.name.find_last_of("/\\");
        if (!wanted(
                std::string_view(file.name).substr(slash == std::string::npos ? 0 : slash + 1))) {
            continue;
        }
        if ((stat.valid & ZIP_STAT_ENCRYPTION_METHOD) != 0 &&
            stat.encryption_method != ZIP_EM_NONE) {
            file.kind = ZipFileEntry::Kind::Encrypted;
        } else if ((stat.valid & ZIP_STAT_COMP_METHOD) != 0 && stat.comp_method != ZIP_CM_DEFLATE &&
                   stat.comp_method != ZIP_CM_STORE) {
            // Unpacking bzip2, xz or Zstandard costs far more than inflating,
            // and nothing that makes a set of pictures needs them.
            file.kind = ZipFileEntry::Kind::OtherMethod;
        } else if ((stat.valid & ZIP_STAT_SIZE) != 0 && stat.size > limits.fileBytes) {
            file.read = Error::FileTooLarge;
        } else {
            file.read = ReadWhole(zip, index, limits.fileBytes, file.bytes);
            total += file.bytes.size();
            if (total > limits.totalBytes) {
                return Error::FileTooLarge;
            }
        }
        files.push_back(std::move(file));
    }
    return Error::None;
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
