#include "texture/texture_record.h"

#include "common/byte_order.h"

namespace morvane {

bool IsFaceTexture(const TextureTableEntry& entry) {
    return entry.format == kFaceFormat && entry.width == kFaceWidth && entry.height == kFaceHeight;
}

TextureTableEntry DecodeTableEntry(const uint8_t* bytes) {
    TextureTableEntry entry;
    entry.identifier = LoadBE16(bytes + 0);
    entry.unused2 = {bytes[2], bytes[3]};
    entry.address = LoadBE32(bytes + 4);
    entry.width = bytes[8];
    entry.height = bytes[9];
    entry.byte10 = bytes[10];
    entry.format = bytes[11];
    entry.unused12 = {bytes[12], bytes[13], bytes[14], bytes[15]};
    return entry;
}

}  // namespace morvane
