#pragma once
// The extraction pass: the state in memory becomes the gallery's face
// textures. Each pass writes a texture file and a 16-bit bitmap for every face
// texture into a private temporary folder, has the front end rebuild its
// gallery from the bitmaps, and removes the folder again.

#include <cstdint>
#include <filesystem>

#include "savestate/save_state_image.h"

namespace morvane {

struct Session;
class UserInterface;

// Returns the shown count: 0 when the state was refused or holds no face
// texture.
int32_t ExtractTextures(Session& session, UserInterface& ui);

// The path that replacements of the state at `statePath` are written to, in
// the same folder: the file name up to its last '.', followed by "_new.pj".
// A zipped or gzipped state keeps its ".zip" or ".gz" at the end, and a
// mupen64plus state keeps its own extension (X.st0 gives X_new.st0).
std::filesystem::path OutputPathFor(const std::filesystem::path& statePath,
                                    const StateFormat& format = {});

}  // namespace morvane
