#pragma once
// Everything one front end holds for the state it has opened: the image, the
// catalogue of its textures, the faces the last extraction pass showed and
// the path that replacements are written to.

#include <filesystem>
#include <vector>

#include "catalogue/texture_catalogue.h"
#include "savestate/save_state_image.h"

namespace morvane {

struct Session {
    SaveStateImage image;
    SaveStateImage spare;  // the state opened before, its buffers kept for the next
    TextureCatalogue catalogue;
    std::vector<ShownFace> faces;     // ShownList's records with their bitmaps
    std::filesystem::path statePath;  // the file the image was opened from
    std::filesystem::path OutputStatePath;
};

}  // namespace morvane
