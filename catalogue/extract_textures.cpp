#include "catalogue/extract_textures.h"

#include <span>
#include <utility>
#include <vector>

#include "catalogue/session.h"
#include "catalogue/user_interface.h"
#include "texture/texture_converter.h"

namespace morvane {

namespace {

// The pass over a catalogue already built for the session's image: the
// shown list, each face's bitmap, and the gallery.
int32_t ShowFaces(Session& session, uint32_t recordCount, UserInterface& ui) {
    TextureCatalogue& catalogue = session.catalogue;
    for (uint32_t i = 0; i < recordCount; ++i) {
        if (IsFaceTexture(catalogue.records[i].entry)) {
            catalogue.ShownList[static_cast<size_t>(catalogue.shownCount)] =
                static_cast<int32_t>(i);
            ++catalogue.shownCount;
        }
    }

    const CTextureConverter converter;
    std::vector<ShownFace>& faces = session.faces;
    faces.resize(static_cast<size_t>(catalogue.shownCount));
    // The texture file is made only to be converted, as the bitmap is made
    // from it; one buffer serves every face.
    std::vector<uint8_t> textureFile;
    std::vector<int32_t> unreadable;
    size_t shown = 0;
    for (uint32_t i = 0; i < recordCount; ++i) {
        const TextureRecord& record = catalogue.records[i];
        // An extent that reaches past the end of RDRAM (as a size that wrapped
        // does), or a face's that runs into another face, cannot be read: the
        // record gets no picture.
        const bool readable = ExtentIsReadable(session.image, catalogue, static_cast<int32_t>(i));
        if (!readable) {
            unreadable.push_back(static_cast<int32_t>(i));
        }
        if (!IsFaceTexture(record.entry)) {
            continue;
        }
        ShownFace& face = faces[shown++];
        face.record = static_cast<int32_t>(i);
        face.bitmap.clear();
        const std::span<const uint8_t> bytes =
            RdramBytes(session.image, record.entry.address, record.size);
        // A texture shorter than its texels and palette gets no bitmap; the
        // gallery shows it blank.
        if (readable && converter.BuildTextureFile(record, bytes, textureFile) == Error::None &&
            converter.ConvertTextureFileToBitmap(textureFile, face.bitmap) != Error::None) {
            face.bitmap.clear();
        }
    }
    if (!unreadable.empty()) {
        ui.ShowUnreadableRecords(unreadable);
    }

    ui.RebuildGallery(faces);
    return catalogue.shownCount;
}

}  // namespace

int32_t ExtractTextures(Session& session, UserInterface& ui) {
    const CatalogueResult catalogued = BuildTextureCatalogue(session, ui);
    if (!catalogued.accepted) {
        return 0;
    }
    return ShowFaces(session, catalogued.recordCount, ui);
}

namespace {

// Catalogues the state just read into the session's spare image, aside: a
// refused game leaves the current one's image and catalogue. The refusals
// and the status are the user's to see.
void TakeIfGoldeneye(Session& session, const std::filesystem::path& path, UserInterface& ui,
                     OpenResult& result) {
    TextureCatalogue candidate;
    const CatalogueResult catalogued = BuildTextureCatalogue(session.spare, candidate, ui);
    if (!catalogued.accepted) {
        return;
    }
    std::swap(session.image, session.spare);
    session.catalogue = candidate;
    session.release = catalogued.release;
    session.changes.clear();
    session.statePath = path;
    session.OutputStatePath = OutputPathFor(path, session.image.format);
    result.accepted = true;
    result.shown = ShowFaces(session, catalogued.recordCount, ui);
}

}  // namespace

OpenResult OpenSaveState(Session& session, const std::filesystem::path& path, UserInterface& ui) {
    OpenResult result;
    // Read into the buffers of the state opened before the current one.
    result.read = RefillSaveStateFile(session.spare, path, &result.detail);
    if (result.read == Error::None) {
        TakeIfGoldeneye(session, path, ui, result);
    }
    return result;
}

OpenResult OpenSaveState(Session& session, std::span<const uint8_t> file,
                         const std::filesystem::path& name, UserInterface& ui) {
    OpenResult result;
    result.read = LoadSaveState(session.spare, file, &result.detail);
    if (result.read == Error::None) {
        TakeIfGoldeneye(session, name, ui, result);
    }
    return result;
}

}  // namespace morvane
