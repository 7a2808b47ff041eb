// The browser module's calls: for now just enough to carry a state through the
// core and back, opening a state's bytes, counting its faces and packing the
// state again. The page's own calls will take their place.
//
// Bytes cross through the module's heap: the page copies a file into memory
// it took with _malloc (and frees it after the call), and reads a packed file
// at morvane_packed(), which stays valid until the next morvane_pack().
//
// Loading and packing answer OutOfMemory when memory runs short; the
// extraction pass lets std::bad_alloc through, and uncaught it would escape
// the module into the page. Each call here catches it as OutOfMemory too.

#include <emscripten/emscripten.h>

#include <cstddef>
#include <cstdint>
#include <new>
#include <span>
#include <vector>

#include "catalogue/extract_textures.h"
#include "catalogue/session.h"
#include "catalogue/user_interface.h"

namespace {

using morvane::Error;

// Keeps the first refusal the core shows; the page has its own words for it.
class WebInterface final : public morvane::UserInterface {
public:
    void ShowMessage(Error message) override {
        if (m_message == Error::None) {
            m_message = message;
        }
    }
    void ShowUnreadableRecords(std::span<const int32_t>) override {}
    void SetStatus(morvane::Status) override {}
    void RebuildGallery(std::span<const morvane::ShownFace>) override {}

    Error Message() const { return m_message; }

private:
    Error m_message = Error::None;
};

morvane::Session g_session;
bool g_open = false;
Error g_error = Error::None;
std::vector<uint8_t> g_packed;

}  // namespace

extern "C" {

// Opens the save state in the `size` bytes at `file` and catalogues its
// textures. Returns how many faces it shows, or -1 when the state or the game
// is refused: morvane_error() then says why, and no state is open.
EMSCRIPTEN_KEEPALIVE int32_t morvane_open(const uint8_t* file, size_t size) {
    g_open = false;
    WebInterface ui;
    int32_t shown = 0;
    try {
        g_error = morvane::LoadSaveState(g_session.image, std::span<const uint8_t>(file, size));
        if (g_error != Error::None) {
            return -1;
        }
        shown = morvane::ExtractTextures(g_session, ui);
    } catch (const std::bad_alloc&) {
        g_error = Error::OutOfMemory;
        return -1;
    }
    if (shown == 0 && ui.Message() != Error::None) {
        g_error = ui.Message();
        return -1;
    }
    g_open = true;
    return shown;
}

// Packs the open state into a file of the kind it came as (plain, zipped,
// gzipped or RetroArch's). Returns the file's length, its bytes at
// morvane_packed(); 0 when it cannot be packed, with morvane_error() saying why.
EMSCRIPTEN_KEEPALIVE size_t morvane_pack() {
    g_packed.clear();
    g_error = Error::CouldNotWriteSaveState;
    try {
        if (g_open) {
            g_error = morvane::PackSaveStateFile(g_session.image, g_packed);
        }
    } catch (const std::bad_alloc&) {
        g_error = Error::OutOfMemory;
    }
    return g_error == Error::None ? g_packed.size() : 0;
}

EMSCRIPTEN_KEEPALIVE const uint8_t* morvane_packed() {
    return g_packed.data();
}

// The refusal of the last call, as morvane::Error's number; 0 when there was none.
EMSCRIPTEN_KEEPALIVE int32_t morvane_error() {
    return static_cast<int32_t>(g_error);
}

}  // extern "C"
