#pragma once
// What the whole-file reads and the atomic writes share: how a path is looked
// at before a write, and what a look at a file saw. For file_io.cpp and
// atomic_file.cpp alone; everything else goes through file_io.h.

#include <sys/stat.h>
#include <time.h>

#include <cstddef>
#include <filesystem>
#include <string_view>

#include "common/file_io.h"

namespace morvane {

// The partial file's name: PartialFilePrefix, then six letters or digits.
inline constexpr std::string_view kPartialTag = ".morvane-partial-";
inline constexpr size_t kPartialSuffixLength = 6;

// Follows `path` through its chain of symbolic links to the name a write
// replaces or creates, and says what would refuse it.
OutputCheck ResolveOutput(const std::filesystem::path& path, std::filesystem::path& target);

// For a write that follows no link: the path itself is looked at. A link
// there is refused, or left for the rename to replace.
OutputCheck CheckUnfollowed(const std::filesystem::path& path, Links links);

FileSnapshot SnapshotOfStat(const struct stat& info);

bool SameTime(const timespec& a, const timespec& b);

// The file the snapshot saw, with the content it saw: renaming it changes its
// status time, so that is not compared.
bool SameContent(const struct stat& info, const FileSnapshot& seen);

}  // namespace morvane
