#include "catalogue/extract_textures.h"

#include <gtest/gtest.h>

#include <memory>

#include "catalogue/session.h"
#include "support/recording_ui.h"
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
    // Every bitmap existed while the gallery was rebuilt.
    EXPECT_EQ(ui.rebuilds[0].bitmapExisted, std::vector<bool>(5, true));
    EXPECT_TRUE(ui.messages.empty());
    // Non-face records got paths but no files.
    EXPECT_EQ(ui.rebuilds[0].folderFiles.size(), 10u);
}

TEST(ExtractTextures, WritesFilesOnlyForFaceTextures) {
    gen::StateOptions options;
    options.faces = 1;
    options.others = 2;
    Loaded loaded = Load(options);
    ASSERT_EQ(FaceRecords(loaded.state), std::vector<int32_t>{1});
    RecordingUi ui;
    EXPECT_EQ(ExtractTextures(*loaded.session, ui), 1);
    ASSERT_EQ(ui.rebuilds.size(), 1u);
    EXPECT_EQ(ui.rebuilds[0].folderFiles, (std::vector<std::string>{"tex_001.bmp", "tex_001.tex"}));
}

TEST(ExtractTextures, NamesTheFilesByRecordIndex) {
    gen::StateOptions options;
    options.faces = 10;
    options.others = 120;
    Loaded loaded = Load(options);
    RecordingUi ui;
    ExtractTextures(*loaded.session, ui);
    const TextureCatalogue& catalogue = loaded.session->catalogue;
    EXPECT_EQ(catalogue.records[12].texPath.filename(), "tex_012.tex");
    EXPECT_EQ(catalogue.records[12].bmpPath.filename(), "tex_012.bmp");
    EXPECT_EQ(catalogue.records[123].texPath.filename(), "tex_123.tex");
    EXPECT_EQ(catalogue.records[123].bmpPath.filename(), "tex_123.bmp");
    EXPECT_EQ(catalogue.records[7].texPath.filename(), "tex_007.tex");
}

TEST(ExtractTextures, RemovesItsPrivateFolderWhenThePassEnds) {
    Loaded loaded = Load({});
    RecordingUi ui;
    ExtractTextures(*loaded.session, ui);
    ExtractTextures(*loaded.session, ui);
    ASSERT_EQ(ui.rebuilds.size(), 2u);
    const auto first = ui.rebuilds[0].bitmapPaths.front().parent_path();
    const auto second = ui.rebuilds[1].bitmapPaths.front().parent_path();
    EXPECT_NE(first, second);
    EXPECT_FALSE(std::filesystem::exists(first));
    EXPECT_FALSE(std::filesystem::exists(second));
    // The folder is private to the user.
    EXPECT_EQ(first.parent_path(), std::filesystem::temp_directory_path());
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
    const std::vector<bool>& existed = ui.rebuilds.at(0).bitmapExisted;
    EXPECT_EQ(std::count(existed.begin(), existed.end(), false), 1);
}

TEST(ExtractTextures, AShortFaceTextureIsShownWithoutABitmap) {
    gen::StateOptions options;
    options.shortFace = true;
    Loaded loaded = Load(options);
    RecordingUi ui;
    EXPECT_EQ(ExtractTextures(*loaded.session, ui), options.faces);
    const std::vector<bool>& existed = ui.rebuilds.at(0).bitmapExisted;
    EXPECT_EQ(std::count(existed.begin(), existed.end(), false), 1);
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
    const std::filesystem::path pathBefore = loaded.session->catalogue.records[0].bmpPath;

    loaded.session->image.header[41] = 'X';
    EXPECT_EQ(ExtractTextures(*loaded.session, ui), 0);
    EXPECT_EQ(ui.rebuilds.size(), 1u);  // no second rebuild
    EXPECT_EQ(ui.messages, std::vector<Error>{Error::NotGoldeneye});
    EXPECT_EQ(loaded.session->catalogue.shownCount, 0);
    EXPECT_EQ(loaded.session->catalogue.records[0].bmpPath, pathBefore);
    EXPECT_EQ(std::vector<int32_t>(loaded.session->catalogue.ShownList.begin(),
                                   loaded.session->catalogue.ShownList.begin() +
                                       static_cast<long>(shownBefore.size())),
              shownBefore);
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

}  // namespace
}  // namespace morvane
