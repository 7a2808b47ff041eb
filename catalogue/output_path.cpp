#include "catalogue/extract_textures.h"

namespace morvane {

std::filesystem::path OutputPathFor(const std::filesystem::path& statePath) {
    // Only the file name's last '.' counts: a dot in a folder name must not
    // send the output into another folder.
    const std::string name = statePath.filename().string();
    const size_t dot = name.rfind('.');
    const std::string stem = dot == std::string::npos ? name : name.substr(0, dot);
    return statePath.parent_path() / (stem + "_new.pj");
}

}  // namespace morvane
