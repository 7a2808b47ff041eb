#pragma once
// Whole-file reads and atomic whole-file writes.
//
// A write goes to a temporary file beside the target, is flushed to disk and
// is then renamed over the target, so that a crash or a full disk leaves
// either the old file or the new one, never a mixture. Temporary files are
// named ".<target name>.morvane-partial-XXXXXX" so that a leftover from a
// killed process is plainly what it is.

#include <cstdint>
#include <filesystem>
#include <initializer_list>
#include <span>
#include <string>
#include <vector>

#include "common/error.h"

namespace morvane {

// The largest file the tool reads whole. Save states are a few MiB; pictures
// are far smaller.
inline constexpr uintmax_t kMaxInputFileSize = 256u * 1024 * 1024;

// Reads the whole file. CouldNotOpenFile when it cannot be opened or read,
// FileTooLarge when it is larger than maxSize.
Error ReadFileBytes(const std::filesystem::path& path, std::vector<uint8_t>& bytes,
                    uintmax_t maxSize = kMaxInputFileSize);

enum class Durability {
    Flush,    // on disk before the rename: for save states
    NoFlush,  // still all-or-nothing, but left to the page cache: for exports
};

// Writes the pieces, in order, as the whole content of `path`, atomically.
// Returns false when any step fails; the file at `path`, if any, is then
// untouched and no temporary file is left behind.
bool WriteFileAtomically(const std::filesystem::path& path,
                         std::initializer_list<std::span<const uint8_t>> pieces,
                         Durability durability = Durability::Flush);

// The prefix of every temporary file name that WriteFileAtomically uses for a
// target named `targetName`.
std::string PartialFilePrefix(const std::string& targetName);

// True when both paths name the same existing file (same device and inode).
bool SameFile(const std::filesystem::path& a, const std::filesystem::path& b);

}  // namespace morvane
