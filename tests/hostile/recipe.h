#pragma once
// Recipes: hostile save states described in a few lines instead of stored.
// A state is 4 to 17 MiB; a recipe says how to make it from the generator and
// what to break. One command a line, "#" starts a comment:
//
//   generate OPTIONS      a state from morvane-make-state's options, packed as
//                         they say
//   rdram32 ADDRESS VALUE a big-endian word at a game address in RDRAM
//   entry N FIELD VALUE   a field of texture table entry N: address, width,
//                         height, byte10 (the colours it shows, less one) or
//                         format
//   bytes OFFSET HEX      bytes at a file offset
//   append HEX            bytes added at the end
//   pack zip|gzip         the state so far, packed: zip as one entry named
//                         GOLDENEYE.pj
//   bomb zip|gzip MIB     instead of a state: MIB MiB of a state's magic and
//                         then zeros, packed
//   cut LENGTH            the bytes so far cut to LENGTH
//   drop-end N            the last N bytes dropped
//   flip OFFSET           the byte at OFFSET inverted; negative counts from
//                         the end
//
// rdram32 and entry work on a plain state only, before any pack.

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace morvane::test {

// The bytes a recipe makes, or an exception naming the line it cannot follow.
std::vector<uint8_t> MakeFromRecipe(const std::filesystem::path& recipe);

}  // namespace morvane::test
