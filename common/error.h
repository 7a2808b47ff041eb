#pragma once
// Everything the core can report to the user, as codes. messages.h gives each
// code its one text, which both front ends show.

#include <cstdint>
#include <string>

namespace morvane {

enum class Error : uint8_t {
    None = 0,

    // Reading and writing files.
    CouldNotOpenFile,        // a file given by the user cannot be opened or read
    FileTooLarge,            // a file far larger than anything the tool reads
    CouldNotWriteSaveState,  // the new save state could not be written
    CouldNotWriteFile,       // an exported file could not be written
    OutputChanged,           // a file changed between its comparison and its replacement
    OutputFolderMoved,       // the output's folder was swapped for another while it was written
    OutOfMemory,             // memory ran out while a state was read or made

    // The save state.
    StateTooShort,            // shorter than the three blocks of a save state
    NotGoldeneye,             // the header does not name Goldeneye
    UnsupportedRegion,        // Goldeneye, but a release we do not know
    TextureTableNotValid,     // wrapped, or reaching outside the RDRAM block
    MemoryAllocationFailure,  // a record whose extent cannot be read or written alone
    DamagedArchive,           // a zip or gzip container that cannot be read
    CompressedDataPadded,     // a deflate stream of far more blocks than its bytes need
    NoStateInArchive,         // a zip without a save-state entry
    TooManyArchiveEntries,    // a zip of more entries than a state's archive holds
    DuplicateArchiveEntry,    // two entries of a zip have one name
    StateEntryMethod,         // the state's zip entry is compressed with another method than deflate
    StateTooLarge,            // a decompressed state past the sane limit
    UnsupportedRdramSize,     // RDRAM neither 4 nor 8 MiB
    UnsupportedStateVersion,  // a save-state layout or version we do not know
    AmbiguousStateVersion,    // version 1.0, whose two writers put RDRAM apart, not told apart

    // RetroArch's container: RZIP compression around RASTATE blocks.
    RzipVersionUnsupported,     // an RZIP version other than 1 and 2
    RzipHeaderInvalid,          // a chunk size or total size that no RetroArch writes
    RzipChunkPastEnd,           // a chunk's length reaches past the end of the file
    RzipSizeMismatch,           // the total size disagrees with the chunks
    RzipChunkTooLarge,          // a chunk unpacks past the size it must have
    ZstdFrameSizeWrong,         // a Zstandard frame declares a size it does not hold
    RastateVersionUnsupported,  // a RASTATE version other than 1
    RastateBlockPastEnd,        // a block's size reaches past the end of the state
    RastateNoEnd,               // the blocks end without an END block
    RastateTwoMem,              // more than one MEM block
    RastateNoMem,               // no MEM block
    NotN64State,                // the core's state is not an N64 save state

    // A replacement picture.
    NotABitmap,
    Not256ColourBitmap,
    Not32x64Bitmap,
    CompressionNotSupported,
    Invalid,          // the conversion refused the picture
    TooManyColours,   // more colours than the texture's palette holds
    NotAPicture,      // neither a bitmap nor a PNG
    DamagedPng,       // a PNG whose chunks or image data cannot be decoded
    PictureTooLarge,  // a file far larger than any 32x64 picture

    // A set of pictures in one zip.
    PictureArchiveDamaged,   // the zip, or one of its pictures, cannot be read
    PictureArchiveTooLarge,  // far more files, or bytes, than a set of faces has

    // The texture commands.
    TextureTooSmall,        // the texture's extent is below 2560 bytes
    TooSmallForPicture,     // too short for its texels and palette: no picture
    NoFaceTexture,          // a record index that is not a shown face texture
    OutputOverwritesInput,  // the output path names the input state
};

// What a refusal names besides its code, for the front ends to show with it
// (RefusalText in messages.h).
struct RefusalDetail {
    std::string entry;  // DuplicateArchiveEntry: the name two entries share, as the archive has it
};

// The release text that the status line shows once a state is recognised.
enum class Status : uint8_t {
    DetectedNtsc,
    DetectedPal,
};

}  // namespace morvane
