#include "cli/messages.h"

#include <sys/stat.h>

#include <cstdio>
#include <cstring>

namespace morvane::cli {

std::string FormatText(const SaveStateImage& image) {
    std::string text;
    switch (image.format.layout) {
        case StateLayout::Unmarked:
            text = "unmarked, read as Project64's classic layout";
            break;
        case StateLayout::Project64Classic:
            text = "Project64, classic layout";
            break;
        case StateLayout::Project64Wide:
            text = "Project64, 64-bit layout";
            break;
        case StateLayout::Project64Fork:
            text = "Project64 fork, 2023 layout";
            break;
        case StateLayout::Mupen64Plus: {
            const uint32_t v = image.format.version;
            char version[32];
            if ((v & 0xFF) != 0) {
                std::snprintf(version, sizeof version, "%u.%u.%u", v >> 16, (v >> 8) & 0xFF,
                              v & 0xFF);
            } else {
                std::snprintf(version, sizeof version, "%u.%u", v >> 16, (v >> 8) & 0xFF);
            }
            text = std::string("mupen64plus ") + version;
            break;
        }
    }
    text += ", " + std::to_string(image.RdramImage.size() / (1024 * 1024)) + " MiB RDRAM";
    switch (image.format.container) {
        case StateContainer::Plain:
            break;
        case StateContainer::Zip:
            text += ", zipped";
            break;
        case StateContainer::Gzip:
            text += ", gzipped";
            break;
    }
    return text;
}

std::string OutputRefusalText(const std::string& path, const OutputCheck& check) {
    if (check.refusal == OutputRefusal::NotARegularFile) {
        return path + " is " + FileKindText(check.fileType) +
               ", not a regular file: it is left as it is";
    }
    return path + ": " + std::strerror(check.error);
}

}  // namespace morvane::cli
