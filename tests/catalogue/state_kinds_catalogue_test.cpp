// Game detection for every kind of state: Project 64 states by their header
// copy, mupen64plus states by the cartridge's MD5, with the same results.

#include <gtest/gtest.h>

#include <memory>

#include "catalogue/session.h"
#include "catalogue/texture_catalogue.h"
#include "support/recording_ui.h"
#include "tools/state_generator.h"

namespace morvane {
namespace {

using test::RecordingUi;

struct Outcome {
    bool accepted;
    std::vector<Status> statuses;
    std::vector<Error> messages;
};

Outcome Catalogue(const gen::StateOptions& options) {
    auto session = std::make_unique<Session>();
    EXPECT_EQ(LoadSaveState(session->image, gen::GenerateSaveState(options).file), Error::None);
    RecordingUi ui;
    const CatalogueResult result = BuildTextureCatalogue(*session, ui);
    return {result.accepted, ui.statuses, ui.messages};
}

TEST(StateKindsCatalogue, EveryLayoutGivesTheSameAnswersAsTheClassicOne) {
    struct Case {
        gen::Region region;
        std::string game;
        Outcome expected;
    };
    const Case cases[] = {
        {gen::Region::Ntsc, "GOLDENEYE", {true, {Status::DetectedNtsc}, {}}},
        {gen::Region::Pal, "GOLDENEYE", {true, {Status::DetectedPal}, {}}},
        {gen::Region::Japan, "GOLDENEYE", {false, {}, {Error::UnsupportedRegion}}},
        {gen::Region::Ntsc, "MARIOKART64", {false, {}, {Error::NotGoldeneye}}},
    };
    for (gen::Layout layout : {gen::Layout::Project64Classic, gen::Layout::Project64Wide,
                               gen::Layout::Project64Fork, gen::Layout::Mupen64Plus}) {
        for (const Case& c : cases) {
            gen::StateOptions options;
            options.layout = layout;
            options.container =
                layout == gen::Layout::Mupen64Plus ? gen::Container::Gzip : gen::Container::Zip;
            options.region = c.region;
            options.gameName = c.game;
            const Outcome outcome = Catalogue(options);
            const std::string what =
                std::to_string(static_cast<int>(layout)) + " " + c.game + " " +
                std::to_string(static_cast<int>(c.region));
            EXPECT_EQ(outcome.accepted, c.expected.accepted) << what;
            EXPECT_EQ(outcome.statuses, c.expected.statuses) << what;
            EXPECT_EQ(outcome.messages, c.expected.messages) << what;
        }
    }
}

TEST(StateKindsCatalogue, FindsTheTableInTheUpperHalfOfEightMiB) {
    gen::StateOptions options;
    options.layout = gen::Layout::Mupen64Plus;
    options.faces = 4;
    options.others = 2;
    const gen::GeneratedState state = gen::GenerateSaveState(options);
    auto session = std::make_unique<Session>();
    ASSERT_EQ(LoadSaveState(session->image, state.file), Error::None);
    RecordingUi ui;
    const CatalogueResult result = BuildTextureCatalogue(*session, ui);
    ASSERT_TRUE(result.accepted);
    ASSERT_EQ(result.recordCount, 6u);
    for (const gen::GeneratedTexture& t : state.textures) {
        const TextureRecord& record = session->catalogue.records[static_cast<size_t>(t.record)];
        EXPECT_EQ(record.entry.address, t.address);
        EXPECT_EQ(record.size, t.size);
        EXPECT_GE(t.address & kAddressMask, 0x400000u);
    }
}

}  // namespace
}  // namespace morvane
