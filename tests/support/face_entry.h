#pragma once
// The table entry of a face texture, for tests that prepare replacements.

#include <cstdint>

#include "catalogue/texture_catalogue.h"

namespace morvane::test {

// A 32 x 64 texture of the given format whose byte 10 declares `byte10` + 1
// palette colours.
inline TextureTableEntry FaceEntry(uint8_t format = kFaceFormat, uint8_t byte10 = 255) {
    TextureTableEntry entry;
    entry.identifier = 0x0101;
    entry.address = 0x80100000;
    entry.width = kFaceWidth;
    entry.height = kFaceHeight;
    entry.byte10 = byte10;
    entry.format = format;
    return entry;
}

}  // namespace morvane::test
