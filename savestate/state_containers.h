#pragma once
// The two containers that emulators wrap their save states in.
//
// zip   A PKZIP archive ("PK\x03\x04" at offset 0, or "PK\x05\x06" when it has
//       no entries). Project 64 zips its states by default: the state is one
//       entry, named like the file without ".zip"; later releases add a second
//       entry, a ".dat" file of timing data. The emulator takes the first entry
//       whose first word is a state magic, so we do too, and we carry every
//       other entry, its name and the entry order unchanged.
// gzip  One or more gzip members (0x1F 0x8B at offset 0), as zlib's gzwrite
//       makes them. The mupen64plus family writes its states this way.
//
// Both are read from memory and written to memory; nothing here touches a
// file. A container is read through a StateSource, which hands out the
// unpacked state in order, so that it can be inflated straight into the
// image's blocks.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "common/error.h"

namespace morvane {

// The largest state read, plain or unpacked from any container. Far above any
// real state (an 8 MiB state with its blocks is under 9 MiB, mupen64plus's
// about 16 MiB), and low enough that a hostile file or archive cannot make us
// allocate without bound.
inline constexpr size_t kMaxStateSize = 64u * 1024 * 1024;

// The unpacked bytes of a state, handed out in order.
class StateSource {
public:
    virtual ~StateSource() = default;

    // Fills `into` with the next bytes: the number given, fewer only at the
    // end of the state. 0 with failure() set when the bytes cannot be had.
    virtual size_t Read(std::span<uint8_t> into) = 0;

    // None, or why the last Read failed (DamagedArchive for a container).
    Error failure() const { return m_failure; }

protected:
    Error m_failure = Error::None;
};

// A state that lies in memory as it is.
class PlainSource final : public StateSource {
public:
    explicit PlainSource(std::span<const uint8_t> state) : m_state(state) {}
    size_t Read(std::span<uint8_t> into) override;

private:
    std::span<const uint8_t> m_state;
};

// gzip_container.cpp

bool IsGzip(std::span<const uint8_t> file);

// Inflates every gzip member of `file` in turn; bytes after the last member
// that do not start another member are ignored, as zlib's own reader does. A
// broken or cut stream fails with DamagedArchive; members of far more deflate
// blocks than their bytes need (deflate_blocks.h), empty ones too, with
// CompressedDataPadded. `file` must outlive it.
class GzipSource final : public StateSource {
public:
    explicit GzipSource(std::span<const uint8_t> file);
    ~GzipSource() override;
    GzipSource(const GzipSource&) = delete;
    GzipSource& operator=(const GzipSource&) = delete;

    size_t Read(std::span<uint8_t> into) override;

private:
    struct Stream;
    std::unique_ptr<Stream> m_stream;
};

// The whole of a gzip file unpacked: DamagedArchive, or StateTooLarge past
// kMaxStateSize.
Error GunzipState(std::span<const uint8_t> file, std::vector<uint8_t>& state);

// One gzip member holding `state`. False when zlib fails.
bool GzipState(std::span<const uint8_t> state, std::vector<uint8_t>& file);

// state_containers.cpp

bool IsZip(std::span<const uint8_t> file);

// The most entries an archive may hold to be read as a state's. Project 64's
// hold one or two; the bound keeps the work on a hostile archive small, as
// libzip reads every entry of the central directory when it opens one.
inline constexpr uint64_t kMaxZipEntries = 16;

// The number of entries the archive's end of central directory (or its zip64
// form) gives; false when there is none to read, which libzip then judges.
bool ZipEntryCount(std::span<const uint8_t> archive, uint64_t& entries);

// True when `start`, the first bytes of an archive entry, begin with a save
// state's magic. ReadZipState takes the first entry for which this holds.
using IsStateStart = bool (*)(std::span<const uint8_t> start);

// Finds the first entry that starts with a state magic. Encrypted entries,
// folders and entries too short to hold a state's first bytes are passed over
// unread. TooManyArchiveEntries past kMaxZipEntries, before anything else is
// read; DuplicateArchiveEntry when two entries have one name, which goes to
// `sharedName`; StateEntryMethod when the state's entry is neither deflated
// nor stored; DamagedArchive when the archive cannot be read, or when no
// other entry holds a state but an encrypted one might; CompressedDataPadded
// when a deflated entry's first bytes lie past far too many blocks;
// NoStateInArchive when no entry starts with a state magic.
Error FindZipState(std::span<const uint8_t> archive, IsStateStart isState, uint64_t& entry,
                   std::string* sharedName = nullptr);

// One file of an archive, read out whole.
struct ZipFileEntry {
    enum class Kind : uint8_t {
        File,         // read: `bytes`, or `read` says why not
        Encrypted,    // not read: there is no password to read it with
        OtherMethod,  // not read: packed by a method other than deflate, or none
    };
    std::string name;  // as the archive names it, with its folders
    Kind kind = Kind::File;
    std::vector<uint8_t> bytes;
    // DamagedArchive, CompressedDataPadded, or FileTooLarge past the bound
    // on one file (whose bytes are then not kept).
    Error read = Error::None;
};

// What ReadZipFiles takes of an archive at most.
struct ZipFileLimits {
    uint64_t entries = 0;     // entries in the archive
    uint64_t fileBytes = 0;   // one file, unpacked
    uint64_t totalBytes = 0;  // all the files read, unpacked
};

// Reads every file of the archive whose name `wanted` takes (given the name
// without its folders), in the archive's order; folders and the rest are not
// looked at.
// TooManyArchiveEntries past `limits.entries`, before anything is read;
// DuplicateArchiveEntry when two entries have one name (`sharedName`);
// DamagedArchive when the archive cannot be opened; FileTooLarge once the
// files read come to more than `limits.totalBytes`.
Error ReadZipFiles(std::span<const uint8_t> archive, const ZipFileLimits& limits,
                   bool (*wanted)(std::string_view name), std::vector<ZipFileEntry>& files,
                   std::string* sharedName = nullptr);

// Inflates entry `entry` of the archive, checking its size and CRC at its end;
// a damaged entry fails with DamagedArchive, a deflated one of far more blocks
// than its bytes need with CompressedDataPadded. `archive` must outlive it.
class ZipEntrySource final : public StateSource {
public:
    ZipEntrySource(std::span<const uint8_t> archive, uint64_t entry);
    ~ZipEntrySource() override;
    ZipEntrySource(const ZipEntrySource&) = delete;
    ZipEntrySource& operator=(const ZipEntrySource&) = delete;

    size_t Read(std::span<uint8_t> into) override;

private:
    struct Entry;
    std::unique_ptr<Entry> m_entry;
};

// zip_writer.cpp

// Where a rewritten archive goes. The writer writes in order, and goes back
// to patch an entry's local header once its sizes and CRC are known.
class ArchiveSink {
public:
    virtual ~ArchiveSink() = default;
    virtual bool Write(std::span<const uint8_t> bytes) = 0;
    // Moves the write position to `offset`, which is at most size().
    virtual bool Seek(uint64_t offset) = 0;
    virtual uint64_t position() const = 0;
    virtual uint64_t size() const = 0;
};

// Writes the archive again into `sink`, with entry `entry` holding `state`
// (deflated) and every other entry carried as it was. libzip reads `archive`
// and writes `sink` through a source of ours, so it never owns or frees
// either buffer, and the new archive is never held in memory as a whole.
// False when libzip fails or the sink refuses a write.
bool WriteZipState(std::span<const uint8_t> archive, uint64_t entry, std::span<const uint8_t> state,
                   ArchiveSink& sink);

// One file of a new archive.
struct ArchiveFile {
    std::string name;
    std::span<const uint8_t> bytes;
};

// Writes a new archive of `files`, in order, stored as they are (pictures
// that are compressed already), into `sink`. False when libzip fails or the
// sink refuses a write.
bool ZipFiles(std::span<const ArchiveFile> files, ArchiveSink& sink);

// A sink that collects the archive in memory.
class MemorySink final : public ArchiveSink {
public:
    explicit MemorySink(std::vector<uint8_t>& bytes) : m_bytes(bytes) { m_bytes.clear(); }
    bool Write(std::span<const uint8_t> bytes) override;
    bool Seek(uint64_t offset) override;
    uint64_t position() const override { return m_position; }
    uint64_t size() const override { return m_bytes.size(); }

private:
    std::vector<uint8_t>& m_bytes;
    uint64_t m_position = 0;
};

}  // namespace morvane
