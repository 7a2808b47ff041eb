#include "catalogue/picture_import.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <map>
#include <string_view>
#include <utility>

#include "catalogue/session.h"
#include "catalogue/texture_commands.h"
#include "savestate/save_state_image.h"
#include "savestate/state_containers.h"

namespace morvane {
namespace {

std::string Lowered(std::string text) {
    for (char& c : text) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return text;
}

// A name without the folders a zip gives it.
std::string_view BaseName(std::string_view name) {
    const size_t slash = name.find_last_of("/\\");
    return slash == std::string_view::npos ? name : name.substr(slash + 1);
}

// The record index that a picture's file name gives, as export names it:
// "tex_", at least three digits, ".png" or ".bmp", in either case. Otherwise
// why the import does not take the name.
std::string RecordOfName(const std::string& name, int32_t& record) {
    const std::string lower = Lowered(std::string(BaseName(name)));
    const size_t dot = lower.rfind('.');
    const std::string extension = dot == std::string::npos ? "" : lower.substr(dot);
    const std::string digits = lower.substr(0, dot).substr(std::min<size_t>(4, dot));
    const bool numbered =
        lower.starts_with("tex_") && !digits.empty() &&
        std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; });
    if (extension != ".png" && extension != ".bmp") {
        return numbered ? "import takes PNG pictures and bitmaps, named .png or .bmp: save it "
                          "as PNG"
                        : "not named tex_NNN.png or tex_NNN.bmp";
    }
    if (!numbered) {
        return "not named tex_NNN.png or tex_NNN.bmp";
    }
    if (digits.size() > 9) {
        return "no texture has so large a record index";
    }
    record = std::stoi(digits);
    if (digits.size() < 3) {
        return "export names this texture's picture " +
               PictureName(record, extension.substr(1).c_str()) + "; rename it so";
    }
    return "";
}

}  // namespace

std::string PictureName(int32_t record, const char* extension) {
    char name[32];
    std::snprintf(name, sizeof name, "tex_%3.3d.%s", record, extension);
    return name;
}

bool IsNamedLikePicture(const std::string& name) {
    const std::string lower = Lowered(name);
    if (lower.ends_with(".tex")) {
        return false;
    }
    for (const char* extension :
         {".png", ".bmp", ".jpg", ".jpeg", ".gif", ".webp", ".tif", ".tiff"}) {
        if (lower.ends_with(extension)) {
            return true;
        }
    }
    return lower.starts_with("tex_");
}

Error ReadPictureArchive(std::span<const uint8_t> archive, std::vector<NamedPicture>& pictures,
                         RefusalDetail* detail) {
    // A set of faces is a few hundred pictures of a few KiB each.
    constexpr ZipFileLimits kLimits{4096, kMaxPictureFileSize, 64u * 1024 * 1024};
    std::vector<ZipFileEntry> files;
    std::string shared;
    const Error read = ReadZipFiles(
        archive, kLimits,
        [](std::string_view name) { return IsNamedLikePicture(std::string(name)); }, files,
        &shared);
    switch (read) {
        case Error::None:
            break;
        case Error::DuplicateArchiveEntry:
            if (detail != nullptr) {
                detail->entry = std::move(shared);
            }
            return read;
        case Error::TooManyArchiveEntries:
        case Error::FileTooLarge:
            return Error::PictureArchiveTooLarge;
        default:
            return Error::PictureArchiveDamaged;
    }
    pictures.clear();
    for (ZipFileEntry& file : files) {
        NamedPicture picture;
        picture.name = std::move(file.name);
        if (file.kind == ZipFileEntry::Kind::Encrypted) {
            picture.notAFile = "encrypted, and there is no password to read it with";
        } else if (file.kind == ZipFileEntry::Kind::OtherMethod) {
            picture.notAFile = "packed with a method other than deflate; zip the pictures again";
        } else if (file.read == Error::FileTooLarge) {
            picture.read = Error::PictureTooLarge;
        } else if (file.read != Error::None) {
            picture.read = Error::PictureArchiveDamaged;
        }
        picture.bytes = std::move(file.bytes);
        pictures.push_back(std::move(picture));
    }
    return Error::None;
}

bool IsPictureArchive(std::span<const uint8_t> archive) {
    uint64_t entry = 0;
    if (!IsZip(archive) || FindZipState(archive, IsProject64StateStart, entry) == Error::None) {
        return false;
    }
    std::vector<NamedPicture> pictures;
    const Error read = ReadPictureArchive(archive, pictures);
    return read == Error::None ? !pictures.empty() : read != Error::PictureArchiveDamaged;
}

ImportResult ImportPictures(Session& session, std::span<const NamedPicture> pictures,
                            const ReplacementOptions& options) {
    ImportResult result;
    // The pictures by record index, in order.
    std::map<int32_t, std::vector<const NamedPicture*>> byRecord;
    for (const NamedPicture& picture : pictures) {
        ImportedPicture skipped;
        skipped.name = picture.name;
        int32_t record = -1;
        skipped.reason =
            picture.notAFile.empty() ? RecordOfName(picture.name, record) : picture.notAFile;
        if (!skipped.reason.empty()) {
            result.skipped.push_back(std::move(skipped));
            continue;
        }
        byRecord[record].push_back(&picture);
    }
    std::sort(result.skipped.begin(), result.skipped.end(),
              [](const ImportedPicture& a, const ImportedPicture& b) { return a.name < b.name; });

    // Each face as it stood before its picture, for a refusal to put back.
    std::vector<std::pair<uint32_t, std::vector<uint8_t>>> before;
    for (auto& [record, named] : byRecord) {
        std::sort(named.begin(), named.end(),
                  [](const NamedPicture* a, const NamedPicture* b) { return a->name < b->name; });
        ImportedPicture taken;
        taken.name = named[0]->name;
        taken.record = record;
        if (named.size() > 1) {
            taken.outcome = ImportedPicture::Outcome::Duplicate;
            for (size_t i = 0; i < named.size(); ++i) {
                taken.reason += (i == 0 ? "" : ", ") + named[i]->name;
            }
            taken.reason += ": more than one picture for this texture; keep one";
            ++result.refused;
            result.pictures.push_back(std::move(taken));
            continue;
        }
        const NamedPicture& picture = *named[0];
        // The record is judged first, whatever the file, as for one picture.
        taken.error = CheckReplaceable(session, record);
        if (taken.error == Error::None) {
            taken.error = picture.read;
        }
        if (taken.error == Error::None) {
            const uint32_t address = session.catalogue.entries[static_cast<size_t>(record)].address;
            const std::span<const uint8_t> face =
                RdramBytes(session.image, address, kFaceTextureBytes);
            before.emplace_back(address, std::vector<uint8_t>(face.begin(), face.end()));
            ReplacementOptions mine = options;
            mine.reduction = &taken.reduction;
            taken.error = ApplyReplacement(session, record, picture.bytes, mine);
            const std::span<const uint8_t> now =
                RdramBytes(session.image, address, kFaceTextureBytes);
            taken.outcome = std::equal(now.begin(), now.end(), before.back().second.begin(),
                                       before.back().second.end())
                                ? ImportedPicture::Outcome::Unchanged
                                : ImportedPicture::Outcome::Replaced;
        }
        if (taken.error != Error::None) {
            taken.outcome = ImportedPicture::Outcome::Refused;
            ++result.refused;
        }
        result.pictures.push_back(std::move(taken));
    }
    if (result.refused > 0) {
        for (auto face = before.rbegin(); face != before.rend(); ++face) {
            WriteRdram(session.image, face->first, face->second);
        }
    }
    return result;
}

}  // namespace morvane
