#pragma once
// Reading a zip archive that lies in memory, for the state containers and for
// a set of pictures: the archive opened read-only, one entry read unpacked
// with its blocks counted, and the name two entries share.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#ifndef ZLIB_CONST
#define ZLIB_CONST
#endif
#include <zip.h>
#include <zlib.h>

#include "common/error.h"
#include "savestate/deflate_blocks.h"

namespace morvane {

// Closes a read-only archive, whatever happened, without writing anything.
// Opened with its consistency checked, unless `checked` is false.
class ArchiveReader {
public:
    explicit ArchiveReader(std::span<const uint8_t> archive, bool checked = true);
    ~ArchiveReader();
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
// again unchecked, only to find the name. Empty, unlooked, past `maxEntries`.
std::string SharedEntryName(std::span<const uint8_t> archive, uint64_t maxEntries);

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
    Error Open(zip_t* zip, zip_uint64_t index);

    // Fills `into`: fewer bytes only at the entry's end. 0 with `failure`
    // set when the entry is damaged (DamagedArchive) or padded
    // (CompressedDataPadded).
    size_t Read(std::span<uint8_t> into, Error& failure);

private:
    size_t Unpacked(std::span<uint8_t> into, Error& failure);
    size_t Inflate(std::span<uint8_t> into, Error& failure);
    void Close();

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

}  // namespace morvane
