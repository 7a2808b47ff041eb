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
// file. Decompressed states are limited to kMaxStateSize, whatever the
// container claims.

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "common/error.h"

namespace morvane {

// Far above any real state (the largest, mupen64plus's, is about 16 MiB), and
// low enough that a hostile archive cannot make us allocate without bound.
inline constexpr size_t kMaxStateSize = 64u * 1024 * 1024;

// state_containers.cpp

bool IsGzip(std::span<const uint8_t> file);
bool IsZip(std::span<const uint8_t> file);

// Decompresses every gzip member in turn; bytes after the last member that do
// not start another member are ignored, as zlib's own reader does.
// DamagedArchive for a broken or cut stream, StateTooLarge past kMaxStateSize.
Error GunzipState(std::span<const uint8_t> file, std::vector<uint8_t>& state);

// One gzip member holding `state`. False when zlib fails.
bool GzipState(std::span<const uint8_t> state, std::vector<uint8_t>& file);

// True when `start`, the first bytes of an archive entry, begin with a save
// state's magic. ReadZipState takes the first entry for which this holds.
using IsStateStart = bool (*)(std::span<const uint8_t> start);

// Finds the state entry and decompresses it, checking its CRC. Encrypted
// entries are passed over unread. DamagedArchive when the archive or the entry
// cannot be read, or when no other entry holds a state but an encrypted one
// might; NoStateInArchive when no entry starts with a state magic,
// StateTooLarge past kMaxStateSize.
Error ReadZipState(std::span<const uint8_t> archive, IsStateStart isState,
                   std::vector<uint8_t>& state, uint64_t& entry);

// The archive again with entry `entry` holding `state` (deflated) and every
// other entry carried as it was. False when libzip fails.
bool ReplaceZipState(std::span<const uint8_t> archive, uint64_t entry,
                     std::span<const uint8_t> state, std::vector<uint8_t>& file);

}  // namespace morvane
