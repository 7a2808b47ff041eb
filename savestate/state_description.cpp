#include <cstdio>
#include <string>

#include "savestate/save_state_image.h"

namespace morvane {

namespace {

// A mupen64plus-family version word as "1.9", or "1.9.1" when its last byte
// is set.
std::string VersionText(uint32_t v) {
    char version[32];
    if ((v & 0xFF) != 0) {
        std::snprintf(version, sizeof version, "%u.%u.%u", v >> 16, (v >> 8) & 0xFF, v & 0xFF);
    } else {
        std::snprintf(version, sizeof version, "%u.%u", v >> 16, (v >> 8) & 0xFF);
    }
    return version;
}

// parallel-n64 counts its versions in the last byte: 0x00010006 is 1.6.
std::string ParallelVersionText(uint32_t v) {
    return std::to_string(v >> 16) + "." + std::to_string(v & 0xFFFF);
}

// The emulator that wrote an "M64+SAVE" state, as far as its bytes tell.
std::string MupenText(const StateFormat& format) {
    if (format.layout == StateLayout::ParallelN64) {
        return "parallel-n64 " + ParallelVersionText(format.version);
    }
    if (format.container == StateContainer::RetroArch && format.version > 0x00010000 &&
        format.version >> 16 == 1) {
        return "mupen64plus-next";
    }
    std::string text = "mupen64plus " + VersionText(format.version);
    if (format.version >> 16 == 2) {
        text += " (RMG)";
    }
    return text;
}

}  // namespace

std::string StateFormatText(const SaveStateImage& image) {
    const StateFormat& format = image.format;
    std::string text;
    switch (format.layout) {
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
        case StateLayout::Mupen64Plus:
        case StateLayout::ParallelN64:
            text = MupenText(format);
            break;
    }
    if (format.container == StateContainer::RetroArch) {
        const uint8_t rzip = image.retroarch.rzipVersion;
        text = "RetroArch (" + text + "), " +
               (rzip == 0 ? std::string("uncompressed") : "RZIP v" + std::to_string(rzip));
    }
    text += ", " + std::to_string(image.RdramImage.size() / (1024 * 1024)) + " MiB RDRAM";
    switch (format.container) {
        case StateContainer::Plain:
        case StateContainer::RetroArch:
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

}  // namespace morvane
