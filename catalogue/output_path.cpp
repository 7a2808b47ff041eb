#include <cctype>

#include "catalogue/extract_textures.h"

namespace morvane {
namespace {

bool EndsWithIgnoringCase(const std::string& name, std::string_view suffix) {
    if (suffix.empty() || name.size() <= suffix.size()) {
        return false;
    }
    const size_t start = name.size() - suffix.size();
    for (size_t i = 0; i < suffix.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(name[start + i])) !=
            std::tolower(static_cast<unsigned char>(suffix[i]))) {
            return false;
        }
    }
    return true;
}

}  // namespace

std::filesystem::path OutputPathFor(const std::filesystem::path& statePath,
                                    const StateFormat& format) {
    const OutputNameRule rule = OutputNameRuleFor(format);
    std::string name = statePath.filename().string();
    // A compressed state keeps its container's suffix at the very end, so
    // GOLDENEYE.pj.zip gives GOLDENEYE_new.pj.zip, which the emulator lists.
    std::string containerSuffix;
    if (EndsWithIgnoringCase(name, rule.containerSuffix)) {
        containerSuffix = name.substr(name.size() - rule.containerSuffix.size());
        name.resize(name.size() - rule.containerSuffix.size());
    }
    // Only the file name's last '.' counts: a dot in a folder name must not
    // send the output into another folder.
    const size_t dot = name.rfind('.');
    std::string output;
    if (dot == std::string::npos) {
        output = name + (rule.keepOwnExtension ? "_new" : "_new.pj");
    } else if (rule.keepOwnExtension) {
        output = name.substr(0, dot) + "_new" + name.substr(dot);
    } else {
        output = name.substr(0, dot) + "_new.pj";
    }
    return statePath.parent_path() / (output + containerSuffix);
}

}  // namespace morvane
