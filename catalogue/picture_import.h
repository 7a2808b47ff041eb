#pragma once
// Taking a set of pictures back in one go: a folder or a zip of pictures
// named as export names them, tex_NNN.png or tex_NNN.bmp, each over the face
// texture of record NNN. Front ends read the files; the rules are here.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "common/error.h"
#include "texture/colour_reduction.h"
#include "texture/texture_converter.h"

namespace morvane {

struct Session;

// One file offered to the import, as a front end found it.
struct NamedPicture {
    std::string name;            // the file's own name, without its folder (in a zip, with it)
    std::vector<uint8_t> bytes;  // the file, when it could be read
    Error read = Error::None;    // why it could not be read (CouldNotOpenFile, PictureTooLarge)
    std::string notAFile;        // why it was not read at all: "a folder, not a regular file"
};

// What became of one picture.
struct ImportedPicture {
    enum class Outcome : uint8_t {
        Skipped,    // not taken, for `reason`: a misnamed file, or not a file
        Duplicate,  // one of several pictures for one texture: `reason` names them all
        Refused,    // the replacement refused it: `error`
        Replaced,   // its face took it and changed
        Unchanged,  // its face took it and is as it was (an export left as it was)
    };
    std::string name;
    int32_t record = -1;
    Outcome outcome = Outcome::Skipped;
    std::string reason;
    Error error = Error::None;
    Reduction reduction = Reduction::None;
};

struct ImportResult {
    std::vector<ImportedPicture> skipped;   // by name
    std::vector<ImportedPicture> pictures;  // the rest, by record
    int refused = 0;                        // duplicate records and refused pictures
};

// The name export gives a record's picture, tex_NNN.png or tex_NNN.bmp, and
// the import looks for.
std::string PictureName(int32_t record, const char* extension);

// Whether a file in a folder of pictures looks as if it were meant as one:
// named tex_..., or with a picture's extension, but not export's own texture
// files (tex_NNN.bmp.tex). Only these are offered to ImportPictures; a folder's
// other files are none of the import's business.
bool IsNamedLikePicture(const std::string& name);

// The pictures of a zip, each as the folder's would be offered: its files
// named like pictures (with the folders they lie in), read whole; an
// encrypted entry or one packed otherwise than by deflate says why it was
// passed over. PictureArchiveDamaged, PictureArchiveTooLarge (past 4,096
// entries or 64 MiB of pictures) or DuplicateArchiveEntry (named in
// `detail`) when the archive as a whole cannot be taken.
Error ReadPictureArchive(std::span<const uint8_t> archive, std::vector<NamedPicture>& pictures,
                         RefusalDetail* detail = nullptr);

// Whether a zip is a set of pictures to take back rather than a zipped state:
// no entry of it is a state, and a file of it is named like a picture (or it
// is refused as a set of pictures for being too large or doubly named).
bool IsPictureArchive(std::span<const uint8_t> archive);

// Replaces every face that one picture names, each as ApplyReplacement
// would. All or nothing: when any picture is refused, or two name one
// texture, the image is left exactly as it was (`refused` > 0) and those
// taken are only listed.
ImportResult ImportPictures(Session& session, std::span<const NamedPicture> pictures,
                            const ReplacementOptions& options = {});

}  // namespace morvane
