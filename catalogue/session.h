#pragma once
// Everything one front end holds for the state it has opened: the image, the
// catalogue of its textures and the path that replacements are written to.

#include <filesystem>

#include "catalogue/texture_catalogue.h"
#include "savestate/save_state_image.h"

namespace morvane {

struct Session {
    SaveStateImage image;
    TextureCatalogue catalogue;
    std::filesystem::path OutputStatePath;
};

}  // namespace morvane
