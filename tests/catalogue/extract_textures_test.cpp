#include "catalogue/extract_textures.h"

#include <gtest/gtest.h>

#include <memory>

#include "catalogue/session.h"
#include "catalogue/texture_commands.h"
#include "support/recording_ui.h"
#include "support/temp_dir.h"
#include "texture/texture_converter.h"
#include "tools/state_generator.h"

namespace morvane {
namespace {

using test::RecordingUi;

struct Loaded {
    std::unique_ptr<Session> session;
    gen::GeneratedState state;
};

Loaded Load(const gen::StateOptions& options) {
    Loaded loaded{std::make_unique<Session>(), gen::GenerateSaveState(options)};
    EXPECT_EQ(LoadSaveState(loaded.session->image, loaded.state.file), Error::None);
    return loaded;
}

std::vector<int32_t> FaceRecords(const gen::GeneratedState& state) {
    std::vector<int32_t> faces;
    for (const gen::GeneratedTexture& t : state.textures) {
        if (t.face) {
            faces.push_back(t.record);
        }
    }
    return faces;
}

std::vector<int32_t> Shown(const TextureCatalogue& catalogue) {
    return {catalogue.ShownList.begin(), catalogue.ShownList.begin() + catalogue.shownCount};
}

TEST(ExtractTextures, ShowsTheFaceTexturesInRecordOrderWithGaps) {
    gen::StateOptions options;
    options.faces = 5;
    options.others = 6;  // includes format 8 at 32x64 and format 9 at 64x32
    Loaded loaded = Load(options);
    RecordingUi ui;

    const int32_t shown = ExtractTextures(*loaded.session, ui);
    const std::vector<int32_t> faces = FaceRecords(loaded.state);
    ASSERT_EQ(shown, 5);
    EXPECT_EQ(Shown(loaded.session->catalogue), faces);
    ASSERT_EQ(ui.rebuilds.size(), 1u);
    EXPECT_EQ(ui.rebuilds[0].shownList, faces);
    EXPECT_EQ(ui.rebuilds[0].HasBitmap(), std::vector<bool>(5, true));
    EXPECT_TRUE(ui.messages.empty());
}

// The gallery's bitmaps are made in memory; they must be exactly what the
// texture file and bitmap file of the same face hold when written to disk.
TEST(ExtractTextures, EachBitmapIsTheFileThatSaveAsBitmapWrites) {
    gen::StateOptions options;
    options.faces = 3;
    options.others = 4;
    Loaded loaded = Load(options);
    RecordingUi ui;
    ASSERT_EQ(ExtractTextures(*loaded.session, ui), 3);
    const test::TempDir dir;
    for (size_t i = 0; i < 3; ++i) {
        const int32_t record = ui.rebuilds.at(0).shownList[i];
        const std::filesystem::path bitmap = dir.path() / ("face" + std::to_string(i) + ".bmp");
        ASSERT_EQ(SaveAsBitmap(*loaded.session, record, bitmap), Error::None);
        // The same bitmap made the long way, from the texture file on disk
        // converted by its path: both routes must give the same bytes.
        const std::filesystem::path again = dir.path() / ("again" + std::to_string(i) + ".bmp");
        ASSERT_TRUE(CTextureConverter().ConvertTextureToBitmap(bitmap.string() + ".tex", again));
        EXPECT_EQ(ui.rebuilds[0].bitmaps[i], test::ReadAll(bitmap));
        EXPECT_EQ(ui.rebuilds[0].bitmaps[i], test::ReadAll(again));
    }
}

TEST(ExtractTextures, AnEntryAboveThePreviousOneIsAnAllocationFailure) {
    gen::StateOptions options;
    options.addressAbovePrevious = true;
    Loaded loaded = Load(options);
    RecordingUi ui;
    const int32_t shown = ExtractTextures(*loaded.session, ui);
    EXPECT_EQ(ui.messages, std::vector<Error>{Error::MemoryAllocationFailure});
    // Every face is still listed; the one that could not be read has no bitmap.
    EXPECT_EQ(shown, options.faces);
    const std::vector<bool> has = ui.rebuilds.at(0).HasBitmap();
    EXPECT_EQ(std::count(has.begin(), has.end(), false), 1);
}

TEST(ExtractTextures, AShortFaceTextureIsShownWithoutABitmap) {
    gen::StateOptions options;
    options.shortFace = true;
    Loaded loaded = Load(options);
    RecordingUi ui;
    EXPECT_EQ(ExtractTextures(*loaded.session, ui), options.faces);
    const std::vector<bool> has = ui.rebuilds.at(0).HasBitmap();
    EXPECT_EQ(std::count(has.begin(), has.end(), false), 1);
    EXPECT_TRUE(ui.messages.empty());
}

TEST(ExtractTextures, AnEmptyTableRebuildsAnEmptyGallery) {
    gen::StateOptions options;
    options.table = gen::TableShape::Empty;
    Loaded loaded = Load(options);
    RecordingUi ui;
    EXPECT_EQ(ExtractTextures(*loaded.session, ui), 0);
    ASSERT_EQ(ui.rebuilds.size(), 1u);
    EXPECT_TRUE(ui.rebuilds[0].shownList.empty());
}

TEST(ExtractTextures, ARefusedStateLeavesTheGalleryAndTheRecords) {
    Loaded loaded = Load({});
    RecordingUi ui;
    ASSERT_GT(ExtractTextures(*loaded.session, ui), 0);
    const std::vector<int32_t> shownBefore = Shown(loaded.session->catalogue);

    loaded.session->image.header[41] = 'X';
    EXPECT_EQ(ExtractTextures(*loaded.session, ui), 0);
    EXPECT_EQ(ui.rebuilds.size(), 1u);  // no second rebuild
    EXPECT_EQ(ui.messages, std::vector<Error>{Error::NotGoldeneye});
    EXPECT_EQ(loaded.session->catalogue.shownCount, 0);
    EXPECT_EQ(std::vector<int32_t>(loaded.session->catalogue.ShownList.begin(),
                                   loaded.session->catalogue.ShownList.begin() +
                                       static_cast<long>(shownBefore.size())),
              shownBefore);
}

// Opening a state that is then refused must leave the one opened before
// fully usable: its image, catalogue, faces and output path.
TEST(OpenSaveState, EveryRefusalKeepsTheEarlierState) {
    const test::TempDir dir;
    const std::filesystem::path good = dir.path() / "GOLDENEYE.pj";
    test::WriteAll(good, gen::GenerateSaveState({}).file);
    gen::StateOptions other;
    other.gameName = "MARIO";
    gen::StateOptions japan;
    japan.region = gen::Region::Japan;
    gen::StateOptions wrapped;
    wrapped.table = gen::TableShape::Wrapped;
    const std::vector<std::pair<std::string, std::vector<uint8_t>>> refused = {
        {"other.pj", gen::GenerateSaveState(other).file},
        {"japan.pj", gen::GenerateSaveState(japan).file},
        {"wrapped.pj", gen::GenerateSaveState(wrapped).file},
        {"short.pj", std::vector<uint8_t>(1000, 0)},
        {"damaged.pj.zip", {'P', 'K', 3, 4, 0, 0}},
    };

    Session session;
    RecordingUi ui;
    ASSERT_TRUE(OpenSaveState(session, good, ui).accepted);
    const auto rdram = session.image.RdramImage;
    const std::vector<int32_t> shown = Shown(session.catalogue);
    const auto faces = ui.rebuilds.back().bitmaps;
    for (const auto& [name, bytes] : refused) {
        test::WriteAll(dir.path() / name, bytes);
        const OpenResult opened = OpenSaveState(session, dir.path() / name, ui);
        EXPECT_FALSE(opened.accepted) << name;
        EXPECT_EQ(session.OutputStatePath, dir.path() / "GOLDENEYE_new.pj") << name;
        EXPECT_TRUE(session.image.RdramImage == rdram) << name;
        EXPECT_EQ(Shown(session.catalogue), shown) << name;
        EXPECT_EQ(ui.rebuilds.size(), 1u) << name;
        ASSERT_EQ(session.faces.size(), faces.size()) << name;
        EXPECT_EQ(session.faces.back().bitmap, faces.back()) << name;
    }
    // What the window shows for each: the catalogue's refusals through the
    // interface, the read refusals returned.
    EXPECT_EQ(ui.messages, (std::vector<Error>{Error::NotGoldeneye, Error::UnsupportedRegion,
                                               Error::TextureTableNotValid}));
}

// Each open reads into the buffers of the state before the current one, so
// that switching between states allocates nothing new.
TEST(OpenSaveState, ReusesTheBuffersOfTheStateBefore) {
    const test::TempDir dir;
    for (const char* name : {"a.pj", "b.pj"}) {
        test::WriteAll(dir / name, gen::GenerateSaveState({}).file);
    }
    Session session;
    RecordingUi ui;
    ASSERT_TRUE(OpenSaveState(session, dir / "a.pj", ui).accepted);
    const uint8_t* first = session.image.RdramImage.data();
    ASSERT_TRUE(OpenSaveState(session, dir / "b.pj", ui).accepted);
    const uint8_t* second = session.image.RdramImage.data();
    ASSERT_TRUE(OpenSaveState(session, dir / "a.pj", ui).accepted);
    EXPECT_NE(first, second);
    EXPECT_EQ(session.image.RdramImage.data(), first);
    EXPECT_EQ(session.spare.RdramImage.data(), second);
}

TEST(OutputPathFor, ReplacesTheLastExtensionOfTheFileName) {
    EXPECT_EQ(OutputPathFor("/f/GOLDENEYE.pj"), "/f/GOLDENEYE_new.pj");
    EXPECT_EQ(OutputPathFor("/f/GOLDENEYE.pj.bak"), "/f/GOLDENEYE.pj_new.pj");
    EXPECT_EQ(OutputPathFor("GOLDENEYE.pj"), "GOLDENEYE_new.pj");
}

TEST(OutputPathFor, DotsInFolderNamesDoNotCount) {
    EXPECT_EQ(OutputPathFor("/c/states.old/gold"), "/c/states.old/gold_new.pj");
    EXPECT_EQ(OutputPathFor("/c/states/gold"), "/c/states/gold_new.pj");
    EXPECT_EQ(OutputPathFor("gold"), "gold_new.pj");
}

}  // namespace
}  // namespace morvane

namespace morvane {
namespace {

TEST(OutputPathFor, ACompressedStateKeepsItsSuffixAtTheEnd) {
    StateFormat zip;
    zip.container = StateContainer::Zip;
    EXPECT_EQ(OutputPathFor("/s/GOLDENEYE.pj.zip", zip), "/s/GOLDENEYE_new.pj.zip");
    EXPECT_EQ(OutputPathFor("/s/GoldenEye 007 (U).pj.ZIP", zip), "/s/GoldenEye 007 (U)_new.pj.ZIP");
    // A zip whose name does not say so is named like a plain state.
    EXPECT_EQ(OutputPathFor("/s/state.pj", zip), "/s/state_new.pj");
}

TEST(OutputPathFor, AMupenStateKeepsItsOwnExtension) {
    StateFormat mupen;
    mupen.container = StateContainer::Gzip;
    mupen.layout = StateLayout::Mupen64Plus;
    EXPECT_EQ(OutputPathFor("/m/GOLDENEYE.st0", mupen), "/m/GOLDENEYE_new.st0");
    EXPECT_EQ(OutputPathFor("/m/GOLDENEYE.st3.gz", mupen), "/m/GOLDENEYE_new.st3.gz");
    EXPECT_EQ(OutputPathFor("/m/quick", mupen), "/m/quick_new");
}

TEST(OutputPathFor, ARetroArchStateKeepsItsSlot) {
    StateFormat retroarch;
    retroarch.container = StateContainer::RetroArch;
    retroarch.layout = StateLayout::ParallelN64;
    EXPECT_EQ(OutputPathFor("/r/GoldenEye 007 (USA).state1", retroarch),
              "/r/GoldenEye 007 (USA)_new.state1");
    EXPECT_EQ(OutputPathFor("/r/GOLDENEYE.state", retroarch), "/r/GOLDENEYE_new.state");
    EXPECT_EQ(OutputPathFor("/r/GOLDENEYE.state.auto", retroarch), "/r/GOLDENEYE_new.state.auto");
}

}  // namespace
}  // namespace morvane
