#include "common/messages.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>

namespace morvane {

std::string_view MessageText(Error error) {
    switch (error) {
        case Error::None:
            return "";
        case Error::CouldNotOpenFile:
            return "Could not open file.";
        case Error::FileTooLarge:
            return "The file is too large";
        case Error::CouldNotWriteSaveState:
            return "Could not write the save state.";
        case Error::CouldNotWriteFile:
            return "Could not write the file.";
        case Error::OutputChanged:
            return "The file changed while it was being replaced; it is left as it is";
        case Error::OutputFolderMoved:
            return "The output's folder was moved or replaced while it was written; it was not "
                   "put in place";
        case Error::OutOfMemory:
            return "Memory ran out: there is not enough free memory to read or write this save "
                   "state";
        case Error::StateTooShort:
            return "The file is too short to be a save state";
        case Error::NotGoldeneye:
            return "Not a valid Goldeneye PJ64 file";
        case Error::UnsupportedRegion:
            return "Unsupported Goldeneye Region!";
        case Error::TextureTableNotValid:
            return "The texture table is not valid";
        // A texture whose extent cannot be read is what the extraction pass
        // reports as an allocation failure; the commands say the same.
        case Error::MemoryAllocationFailure:
            return "Memory Allocation failure";
        case Error::DamagedArchive:
            return "The save state's archive is damaged or cannot be read";
        case Error::CompressedDataPadded:
            return "The save state's compressed data is padded with far more blocks than its "
                   "contents need";
        case Error::NoStateInArchive:
            return "The archive holds no Project64 save state";
        case Error::TooManyArchiveEntries:
            return "The archive holds too many files to be a Project64 save state's";
        case Error::DuplicateArchiveEntry:
            return "The archive holds two entries of one name";
        case Error::StateEntryMethod:
            return "The save state's entry in the archive is compressed with a method other than "
                   "deflate, the one Project64 uses";
        case Error::StateTooLarge:
            return "The save state is larger than 64 MiB unpacked";
        case Error::UnsupportedRdramSize:
            return "The save state's memory size is neither 4 nor 8 MiB";
        case Error::UnsupportedStateVersion:
            return "The save state's version is not supported (mupen64plus 1.x and 2.x and "
                   "parallel-n64 1.0 to 1.6 are)";
        case Error::AmbiguousStateVersion:
            return "The save state is version 1.0, which parallel-n64 and mupen64plus 1.0 both "
                   "write with memory in different places, and nothing in it tells which";
        case Error::RzipVersionUnsupported:
            return "The RetroArch state's RZIP version is not supported (1 and 2 are)";
        case Error::RzipHeaderInvalid:
            return "The RetroArch state's RZIP header gives an impossible chunk or total size";
        case Error::RzipChunkPastEnd:
            return "A compressed chunk of the RetroArch state runs past the end of the file";
        case Error::RzipSizeMismatch:
            return "The RetroArch state's size disagrees with its compressed chunks";
        case Error::RzipChunkTooLarge:
            return "A compressed chunk of the RetroArch state unpacks past its size";
        case Error::ZstdFrameSizeWrong:
            return "A Zstandard frame of the RetroArch state does not hold the size it declares";
        case Error::RastateVersionUnsupported:
            return "The RetroArch state's block format version is not supported";
        case Error::RastateBlockPastEnd:
            return "A block of the RetroArch state runs past its end";
        case Error::RastateNoEnd:
            return "The RetroArch state has no END block";
        case Error::RastateTwoMem:
            return "The RetroArch state has two MEM blocks";
        case Error::RastateNoMem:
            return "The RetroArch state has no MEM block";
        case Error::NotN64State:
            return "The RetroArch state does not hold an N64 save state of mupen64plus-next or "
                   "parallel-n64";
        case Error::NotABitmap:
        case Error::NotAPicture:
            return "The file was not a bitmap";
        case Error::Not256ColourBitmap:
            return "The file was not a 256 colour bitmap";
        case Error::Not32x64Bitmap:
            return "The file was not a 32x64 bitmap";
        case Error::CompressionNotSupported:
            return "The file's compression is not supported";
        case Error::Invalid:
            return "Invalid";
        case Error::TooManyColours:
            return "The picture uses more colours than this texture can show";
        case Error::DamagedPng:
            return "The PNG file is damaged";
        case Error::PictureTooLarge:
            return "The file is larger than 1 MiB, far more than a 32x64 picture needs";
        case Error::PictureArchiveDamaged:
            return "The archive of pictures is damaged or cannot be read";
        case Error::PictureArchiveTooLarge:
            return "The archive holds far more than a set of face pictures";
        case Error::TextureTooSmall:
            return "The texture is too small to replace";
        case Error::TooSmallForPicture:
            return "The texture is too small to hold a whole picture; none was written";
        case Error::NoFaceTexture:
            return "No face texture has that record index";
        case Error::OutputOverwritesInput:
            return "The output would overwrite the input";
    }
    return "Unknown error";
}

namespace {

// An archive entry's name as it can be shown: its bytes come from the file, so
// control characters (a terminal's escapes among them) become '?', and a name
// past 255 bytes is cut, between two characters, with "...".
std::string PrintableName(const std::string& name) {
    constexpr size_t kShown = 255;
    size_t length = std::min(name.size(), kShown);
    while (length > 0 && length < name.size() &&
           (static_cast<unsigned char>(name[length]) & 0xC0) == 0x80) {
        --length;
    }
    std::string shown = name.substr(0, length);
    for (char& c : shown) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F) {
            c = '?';
        }
    }
    return length < name.size() ? shown + "..." : shown;
}

}  // namespace

std::string RefusalText(Error error, const RefusalDetail& detail) {
    if (error == Error::DuplicateArchiveEntry && !detail.entry.empty()) {
        return "The archive holds two entries named " + PrintableName(detail.entry);
    }
    return std::string(MessageText(error));
}

std::string_view StatusText(Status status) {
    switch (status) {
        case Status::DetectedNtsc:
            return "Detected Goldeneye NTSC";
        case Status::DetectedPal:
            return "Detected Goldeneye PAL";
    }
    return "";
}

std::string ExtractedText(int count) {
    char text[48];
    std::snprintf(text, sizeof text, "Extracted %d textures", count);
    return text;
}

std::string_view NoTexturesFoundText() {
    return "No textures found!";
}

std::string RecordsText(std::span<const int32_t> records) {
    std::string text = records.size() == 1 ? "record " : "records ";
    for (size_t i = 0; i < records.size();) {
        // A run of consecutive indices is written as its first and last.
        size_t last = i;
        while (last + 1 < records.size() && records[last + 1] == records[last] + 1) {
            ++last;
        }
        text += (i == 0 ? "" : ", ") + std::to_string(records[i]);
        if (last > i) {
            text += (last == i + 1 ? ", " : "-") + std::to_string(records[last]);
        }
        i = last + 1;
    }
    return text;
}

std::string FileKindText(mode_t fileType) {
    switch (fileType) {
        case S_IFDIR:
            return "a folder";
        case S_IFIFO:
            return "a FIFO";
        case S_IFCHR:
            return "a character device";
        case S_IFBLK:
            return "a block device";
        case S_IFSOCK:
            return "a socket";
        default:
            return "not a regular file";
    }
}

}  // namespace morvane
