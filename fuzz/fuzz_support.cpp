#include "fuzz/fuzz_support.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "catalogue/extract_textures.h"
#include "catalogue/texture_commands.h"
#include "dib/dib.h"
#include "dib/thumbnail.h"
#include "tools/state_generator.h"

namespace morvane::fuzz {
namespace {

// The face that every replacement puts in: drawn face 3 of the generator,
// whose bitmap converts to exactly its texture bytes.
constexpr int kReplacementFace = 3;

const std::filesystem::path& ReplacementPicture() {
    static const std::filesystem::path path = [] {
        const ScratchFile file("replacement.bmp");
        file.Write(gen::FaceBitmap(kReplacementFace));
        return file.path();
    }();
    return path;
}

bool SameBlocks(const SaveStateImage& a, const SaveStateImage& b) {
    return a.header == b.header && a.RdramImage == b.RdramImage && a.tail == b.tail &&
           a.trailing == b.trailing && a.format.layout == b.format.layout &&
           a.format.container == b.format.container && a.format.version == b.format.version;
}

}  // namespace

void UseMemoryForTemporaryFiles() {
    struct stat info {};
    if (::stat("/dev/shm", &info) == 0 && S_ISDIR(info.st_mode) &&
        ::access("/dev/shm", W_OK) == 0) {
        ::setenv("TMPDIR", "/dev/shm", 1);
    }
}

void Require(bool holds, const char* property) {
    if (!holds) {
        std::fprintf(stderr, "property broken: %s\n", property);
        std::abort();
    }
}

ScratchFile::ScratchFile(const char* name) {
    std::string folder = (std::filesystem::temp_directory_path() / "morvane-fuzz-XXXXXX").string();
    Require(::mkdtemp(folder.data()) != nullptr, "a scratch folder can be made");
    m_path = std::filesystem::path(folder) / name;
}

void ScratchFile::Write(std::span<const uint8_t> bytes) const {
    std::ofstream out(m_path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    out.close();
    Require(static_cast<bool>(out), "the scratch file can be written");
}

void GalleryUi::ShowUnreadableRecords(std::span<const int32_t> records) {
    Require(!records.empty(), "a report of unreadable records names some");
    for (size_t i = 0; i < records.size(); ++i) {
        Require(records[i] >= 0 && static_cast<size_t>(records[i]) < kCatalogueSlots,
                "an unreadable record names a record");
        Require(i == 0 || records[i] > records[i - 1], "unreadable records come once, in order");
        Require(!ExtentIsReadable(m_session.image, m_session.catalogue, records[i]),
                "a record reported unreadable is refused by the commands too");
    }
}

void GalleryUi::RebuildGallery(std::span<const ShownFace> faces) {
    Require(faces.size() <= kCatalogueSlots, "no more faces than catalogue slots");
    for (const ShownFace& face : faces) {
        Require(face.record >= 0 && static_cast<size_t>(face.record) < kCatalogueSlots,
                "a shown record index names a record");
        Require(IsFaceTexture(m_session.catalogue.records[static_cast<size_t>(face.record)].entry),
                "only face textures are shown");
        if (face.bitmap.empty()) {
            continue;  // a texture too short for a bitmap is shown blank
        }
        CDib dib;
        Require(dib.Read(std::span<const uint8_t>(face.bitmap)) != 0,
                "the bitmap the pass made can be read");
        Require(dib.Width() == 32 && dib.Height() == 64 && dib.BitCount() == 16,
                "the pass's bitmap is a 32x64 16-bit picture");
        const Thumbnail thumbnail = RenderThumbnail(dib);
        Require(thumbnail.rgb.size() == 32 * 64 * 3, "a thumbnail has every pixel");
    }
}

void ExerciseLoadedState(Session& session, std::span<const uint8_t> stateBytes) {
    if (!stateBytes.empty()) {
        const std::vector<uint8_t> written = SaveStateFileBytes(session.image);
        Require(std::equal(written.begin(), written.end(), stateBytes.begin(), stateBytes.end()),
                "a loaded state is written back byte for byte");
    }
    GalleryUi ui(session);
    const int32_t shown = ExtractTextures(session, ui);
    if (shown == 0) {
        return;
    }
    const int32_t record = session.catalogue.ShownList[0];
    const uint32_t address = session.catalogue.entries[static_cast<size_t>(record)].address;
    const Error applied = ApplyReplacement(session, record, ReplacementPicture());
    if (applied != Error::None) {
        // The texture's extent may be unreadable or too short, or its entry
        // may declare fewer colours than the picture uses.
        Require(applied == Error::MemoryAllocationFailure || applied == Error::TextureTooSmall ||
                    applied == Error::TooManyColours,
                "a good picture is refused only for the texture's sake");
        return;
    }
    std::vector<uint8_t> placed(kFaceTextureBytes);
    ReadRdram(session.image, address, static_cast<uint32_t>(placed.size()), placed.data());
    const std::array<uint8_t, 2560> face = gen::FaceTexture(kReplacementFace);
    Require(std::equal(placed.begin(), placed.end(), face.begin(), face.end()),
            "a replacement puts the picture's bytes at the texture's address");

    // A plain state packs to the bytes compared above, and loading them is
    // what the target did first; only containers have more to check.
    if (session.image.format.container == StateContainer::Plain) {
        return;
    }
    std::vector<uint8_t> file;
    if (PackSaveStateFile(session.image, file) != Error::None) {
        // Only an archive that libzip will not write again may fail here.
        Require(session.image.format.container == StateContainer::Zip,
                "a gzipped or RetroArch state can always be packed");
        return;
    }
    SaveStateImage reloaded;
    Require(LoadSaveState(reloaded, file) == Error::None, "a written state loads again");
    Require(SameBlocks(reloaded, session.image), "a written state loads as the same image");
}

}  // namespace morvane::fuzz
