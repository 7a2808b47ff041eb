#include "texture/texture_converter.h"

#include <algorithm>

#include "common/byte_order.h"
#include "common/file_io.h"

namespace morvane {

Error CTextureConverter::BuildTextureFile(const TextureRecord& record,
                                          std::span<const uint8_t> payload,
                                          std::vector<uint8_t>& file) const {
    // Fewer bytes than the record's size would make a file that looks whole
    // and is not.
    if (payload.size() < record.size) {
        return Error::Invalid;
    }
    file.resize(kTextureFileHeaderSize + size_t{record.size});
    uint8_t* header = file.data();
    std::copy(kTextureMagic.begin(), kTextureMagic.end(), header);
    StoreLE16(header + 4, record.entry.identifier);
    StoreLE16(header + 6, 0);
    header[8] = record.entry.width;
    header[9] = record.entry.height;
    header[10] = record.entry.byte10;
    header[11] = record.entry.format;
    StoreLE32(header + 12, kTexturePaletteOffset);
    std::copy_n(payload.begin(), record.size, file.begin() + kTextureFileHeaderSize);
    return Error::None;
}

int CTextureConverter::WriteTextureFile(TextureRecord record, std::span<const uint8_t> payload,
                                        const std::filesystem::path& path) const {
    std::vector<uint8_t> file;
    if (BuildTextureFile(record, payload, file) != Error::None) {
        return 1;
    }
    return WriteFileAtomically(path, {file}, Durability::NoFlush) ? 0 : 1;
}

}  // namespace morvane
