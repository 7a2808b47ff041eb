#pragma once
// The extraction pass: the state in memory becomes the gallery's face
// textures. Each face's texture file and 16-bit bitmap are made in memory and
// handed to the front end's gallery; nothing is written to disk.

#include <cstdint>
#include <filesystem>
#include <span>

#include "common/error.h"
#include "savestate/save_state_image.h"

namespace morvane {

struct Session;
class UserInterface;

// extract_textures.cpp

// Catalogues the session's state, makes the bitmap of every face texture into
// the session's faces and has `ui` rebuild its gallery from them. Returns the
// shown count: 0 when the state was refused or holds no face texture.
int32_t ExtractTextures(Session& session, UserInterface& ui);

// What opening a state came to.
struct OpenResult {
    Error read = Error::None;  // the file could not be read as a save state
    RefusalDetail detail;      // what that refusal names besides its code
    bool accepted = false;     // the catalogue took it: it is the session's now
    int32_t shown = 0;         // the extraction pass's shown count
};

// The load command once a path is chosen. The state is read and catalogued
// aside; only a state that the catalogue accepts replaces the session's
// image, catalogue, faces and OutputStatePath, and then the extraction pass
// runs on it. Any refusal leaves the session exactly as it was: a read
// refusal is returned, not shown; a catalogue refusal has been shown through
// `ui`. The buffers of the state it replaces are kept for the next load.
OpenResult OpenSaveState(Session& session, const std::filesystem::path& path, UserInterface& ui);

// The same for a save-state file's bytes already in memory, named `name`:
// its OutputStatePath is made from that name, and nothing is read from disk.
OpenResult OpenSaveState(Session& session, std::span<const uint8_t> file,
                         const std::filesystem::path& name, UserInterface& ui);

// output_path.cpp

// The path that replacements of the state at `statePath` are written to, in
// the same folder: the file name up to its last '.', followed by "_new.pj".
// A zipped or gzipped state keeps its ".zip" or ".gz" at the end, and a
// mupen64plus state keeps its own extension (X.st0 gives X_new.st0).
std::filesystem::path OutputPathFor(const std::filesystem::path& statePath,
                                    const StateFormat& format = {});

}  // namespace morvane
