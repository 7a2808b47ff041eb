#include "cli/messages.h"

#include <sys/stat.h>

#include <cstdio>
#include <cstring>

namespace morvane::cli {

std::string_view MessageText(Error error) {
    switch (error) {
        case Error::None: return "";
        case Error::CouldNotOpenFile: return "Could not open file.";
        case Error::FileTooLarge: return "The file is too large";
        case Error::CouldNotWriteSaveState: return "Could not write the save state.";
        case Error::CouldNotWriteFile: return "Could not write the file.";
        case Error::StateTooShort: return "The file is too short to be a save state";
        case Error::NotGoldeneye: return "Not a valid Goldeneye PJ64 file";
        case Error::UnsupportedRegion: return "Unsupported Goldeneye Region!";
        case Error::TextureTableNotValid: return "The texture table is not valid";
        case Error::MemoryAllocationFailure: return "Memory Allocation failure";
        case Error::DamagedArchive:
            return "The save state's archive is damaged or cannot be read";
        case Error::NoStateInArchive: return "The archive holds no Project64 save state";
        case Error::StateTooLarge: return "The save state is larger than 64 MiB unpacked";
        case Error::UnsupportedRdramSize: return "The save state's memory size is neither 4 nor 8 MiB";
        case Error::UnsupportedStateVersion: return "The save state's version is not supported";
        case Error::NotABitmap: return "The file was not a bitmap";
        case Error::Not256ColourBitmap: return "The file was not a 256 colour bitmap";
        case Error::Not32x64Bitmap: return "The file was not a 32x64 bitmap";
        case Error::CompressionNotSupported: return "The file's compression is not supported";
        case Error::Invalid: return "Invalid";
        case Error::TooManyColours: return "The picture uses more colours than this texture can show";
        case Error::NotAPicture: return "The file was not a bitmap";
        case Error::DamagedPng: return "The PNG file is damaged";
        case Error::TextureTooSmall: return "The texture is too small to replace";
        case Error::NoFaceTexture: return "No face texture has that record index";
        case Error::OutputOverwritesInput: return "The output would overwrite the input";
    }
    return "Unknown error";
}

std::string_view StatusText(Status status) {
    switch (status) {
        case Status::DetectedNtsc: return "Detected Goldeneye NTSC";
        case Status::DetectedPal: return "Detected Goldeneye PAL";
    }
    return "";
}

std::string FormatText(const SaveStateImage& image) {
    std::string text;
    switch (image.format.layout) {
        case StateLayout::Unmarked:
            text = "unmarked, read as Project64's classic layout";
            break;
        case StateLayout::Project64Classic: text = "Project64, classic layout"; break;
        case StateLayout::Project64Wide: text = "Project64, 64-bit layout"; break;
        case StateLayout::Project64Fork: text = "Project64 fork, 2023 layout"; break;
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
        case StateContainer::Plain: break;
        case StateContainer::Zip: text += ", zipped"; break;
        case StateContainer::Gzip: text += ", gzipped"; break;
    }
    return text;
}

std::string OutputRefusalText(const std::string& path, const OutputCheck& check) {
    if (check.refusal == OutputRefusal::NotARegularFile) {
        const char* kind = "not a regular file";
        switch (check.fileType) {
            case S_IFDIR: kind = "a folder"; break;
            case S_IFIFO: kind = "a FIFO"; break;
            case S_IFCHR: kind = "a character device"; break;
            case S_IFBLK: kind = "a block device"; break;
            case S_IFSOCK: kind = "a socket"; break;
            default: break;
        }
        return path + " is " + kind + ", not a regular file: it is left as it is";
    }
    return path + ": " + std::strerror(check.error);
}

}  // namespace morvane::cli
