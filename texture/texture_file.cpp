#include "texture/texture_converter.h"

#include <array>

#include "common/byte_order.h"
#include "common/file_io.h"

namespace morvane {

int CTextureConverter::WriteTextureFile(TextureRecord record, std::span<const uint8_t> payload,
                                        const std::filesystem::path& path) const {
    // Writing fewer bytes than the header's owner expects would make a file
    // that looks whole and is not.
    if (payload.size() < record.size) {
        return 1;
    }
    std::array<uint8_t, kTextureFileHeaderSize> header{};
    std::copy(kTextureMagic.begin(), kTextureMagic.end(), header.begin());
    StoreLE16(&header[4], record.entry.identifier);
    header[8] = record.entry.width;
    header[9] = record.entry.height;
    header[10] = record.entry.byte10;
    header[11] = record.entry.format;
    StoreLE32(&header[12], kTexturePaletteOffset);
    const bool written =
        WriteFileAtomically(path, {header, payload.first(record.size)}, Durability::NoFlush);
    return written ? 0 : 1;
}

}  // namespace morvane
