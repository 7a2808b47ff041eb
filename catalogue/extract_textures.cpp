#include "catalogue/extract_textures.h"

#include <cstdio>
#include <vector>

#include "catalogue/session.h"
#include "catalogue/user_interface.h"
#include "common/file_io.h"
#include "texture/texture_converter.h"

namespace morvane {
namespace {

std::filesystem::path TemporaryName(const std::filesystem::path& folder, uint32_t record,
                                    const char* extension) {
    char name[32];
    std::snprintf(name, sizeof name, "tex_%3.3u.%s", record, extension);
    return folder / name;
}

}  // namespace

int32_t ExtractTextures(Session& session, UserInterface& ui) {
    const CatalogueResult catalogued = BuildTextureCatalogue(session, ui);
    if (!catalogued.accepted) {
        return 0;
    }
    TextureCatalogue& catalogue = session.catalogue;
    // Every pass gets a private folder of its own; it goes with everything in
    // it when the pass ends.
    const TemporaryFolder folder;
    const CTextureConverter converter;

    std::vector<uint8_t> buffer;
    for (uint32_t i = 0; i < catalogued.recordCount; ++i) {
        TextureRecord& record = catalogue.records[i];
        record.texPath = TemporaryName(folder.path(), i, "tex");
        record.bmpPath = TemporaryName(folder.path(), i, "bmp");
        // An extent that reaches past the end of RDRAM (as a size that wrapped
        // does) cannot be read: the record gets no files.
        if (!RdramRangeFits(session.image, record.entry.address, record.size)) {
            ui.ShowMessage(Error::MemoryAllocationFailure);
            continue;
        }
        if (IsFaceTexture(record.entry) && !folder.path().empty()) {
            buffer.resize(record.size);
            ReadRdram(session.image, record.entry.address, record.size, buffer.data());
            converter.WriteTextureFile(record, buffer, record.texPath);
        }
    }

    for (uint32_t i = 0; i < catalogued.recordCount; ++i) {
        const TextureRecord& record = catalogue.records[i];
        if (!IsFaceTexture(record.entry)) {
            continue;
        }
        // A texture shorter than its texels and palette gets no bitmap; the
        // gallery shows it blank, and it can still be replaced.
        if (record.size >= kFaceTextureBytes) {
            converter.ConvertTextureToBitmap(record.texPath, record.bmpPath);
        }
        catalogue.ShownList[static_cast<size_t>(catalogue.shownCount)] = static_cast<int32_t>(i);
        ++catalogue.shownCount;
    }

    ui.RebuildGallery(catalogue);

    for (int32_t j = 0; j < catalogue.shownCount; ++j) {
        const TextureRecord& record = catalogue.records[static_cast<size_t>(catalogue.ShownList[static_cast<size_t>(j)])];
        std::error_code ignored;
        std::filesystem::remove(record.bmpPath, ignored);
        std::filesystem::remove(record.texPath, ignored);
    }
    return catalogue.shownCount;
}

}  // namespace morvane
