#include "catalogue/texture_catalogue.h"

#include <gtest/gtest.h>

#include <memory>

#include "catalogue/session.h"
#include "common/byte_order.h"
#include "support/recording_ui.h"
#include "tools/state_generator.h"

namespace morvane {
namespace {

using test::RecordingUi;

std::unique_ptr<Session> LoadedSession(const gen::StateOptions& options = {}) {
    auto session = std::make_unique<Session>();
    const gen::GeneratedState state = gen::GenerateSaveState(options);
    EXPECT_EQ(LoadSaveState(session->image, state.file), Error::None);
    return session;
}

void PutWord(Session& session, uint32_t address, uint32_t value) {
    uint8_t bytes[4];
    StoreBE32(bytes, value);
    ASSERT_TRUE(WriteRdram(session.image, address, bytes));
}

// Points the NTSC table root at a table of the given entries, placed at
// 0x80200000.
void PlaceTable(Session& session, const std::vector<std::array<uint8_t, 16>>& entries) {
    const uint32_t start = 0x80200000;
    for (size_t i = 0; i < entries.size(); ++i) {
        ASSERT_TRUE(WriteRdram(session.image, start + static_cast<uint32_t>(16 * i), entries[i]));
    }
    PutWord(session, kTableRootNtsc, start);
    PutWord(session, kTableRootNtsc - 8, start + static_cast<uint32_t>(16 * entries.size()));
}

std::array<uint8_t, 16> Entry(uint32_t address) {
    std::array<uint8_t, 16> e{};
    StoreBE32(&e[4], address);
    e[8] = 32;
    e[9] = 64;
    e[11] = 9;
    return e;
}

TEST(BuildTextureCatalogue, RecognisesNtscAndCataloguesEveryEntry) {
    gen::StateOptions options;
    options.faces = 5;
    options.others = 3;
    auto session = LoadedSession(options);
    const gen::GeneratedState expected = gen::GenerateSaveState(options);
    RecordingUi ui;

    const CatalogueResult result = BuildTextureCatalogue(*session, ui);
    ASSERT_TRUE(result.accepted);
    EXPECT_EQ(result.release, Release::Ntsc);
    EXPECT_EQ(ui.statuses, std::vector<Status>{Status::DetectedNtsc});
    EXPECT_TRUE(ui.messages.empty());
    ASSERT_EQ(result.recordCount, 8u);
    for (const gen::GeneratedTexture& t : expected.textures) {
        const TextureRecord& record = session->catalogue.records[static_cast<size_t>(t.record)];
        EXPECT_EQ(record.entry.identifier, t.identifier);
        EXPECT_EQ(record.entry.address, t.address);
        EXPECT_EQ(record.entry.width, t.width);
        EXPECT_EQ(record.entry.format, t.format);
        EXPECT_EQ(record.size, t.size);
        EXPECT_EQ(IsFaceTexture(record.entry), t.face);
        EXPECT_EQ(session->catalogue.entries[static_cast<size_t>(t.record)].address, t.address);
    }
}

TEST(BuildTextureCatalogue, RecognisesPalByItsOwnTableRoot) {
    gen::StateOptions options;
    options.region = gen::Region::Pal;
    auto session = LoadedSession(options);
    RecordingUi ui;
    const CatalogueResult result = BuildTextureCatalogue(*session, ui);
    ASSERT_TRUE(result.accepted);
    EXPECT_EQ(result.release, Release::Pal);
    EXPECT_EQ(ui.statuses, std::vector<Status>{Status::DetectedPal});
    EXPECT_EQ(result.recordCount, 10u);
}

TEST(BuildTextureCatalogue, RefusesAnotherGameWithOneMessageOnly) {
    gen::StateOptions options;
    options.gameName = "MARIOKART64";
    options.region = gen::Region::Japan;  // would be refused too; must not be looked at
    auto session = LoadedSession(options);
    session->catalogue.shownCount = 3;
    RecordingUi ui;
    EXPECT_FALSE(BuildTextureCatalogue(*session, ui).accepted);
    EXPECT_EQ(ui.messages, std::vector<Error>{Error::NotGoldeneye});
    EXPECT_TRUE(ui.statuses.empty());
    EXPECT_EQ(session->catalogue.shownCount, 0);
}

TEST(BuildTextureCatalogue, ComparesTheWholeRegionWord) {
    for (auto [low, high] : {std::pair<uint8_t, uint8_t>{'J', 0}, {'E', 1}, {'P', 1}}) {
        auto session = LoadedSession();
        session->image.header[70] = low;
        session->image.header[71] = high;
        RecordingUi ui;
        EXPECT_FALSE(BuildTextureCatalogue(*session, ui).accepted);
        EXPECT_EQ(ui.messages, std::vector<Error>{Error::UnsupportedRegion});
        EXPECT_TRUE(ui.statuses.empty());
    }
}

TEST(BuildTextureCatalogue, ARefusedStateLeavesTheEarlierCatalogue) {
    auto session = LoadedSession();
    RecordingUi ui;
    ASSERT_TRUE(BuildTextureCatalogue(*session, ui).accepted);
    session->catalogue.shownCount = 4;
    const TextureRecord before = session->catalogue.records[2];

    session->image.header[40] = 'X';
    EXPECT_FALSE(BuildTextureCatalogue(*session, ui).accepted);
    EXPECT_EQ(session->catalogue.shownCount, 0);
    EXPECT_EQ(session->catalogue.records[2].entry.address, before.entry.address);
    EXPECT_EQ(session->catalogue.records[2].size, before.size);
}

TEST(BuildTextureCatalogue, ConvertsEntriesAndSizesByTheTableOrder) {
    auto session = LoadedSession();
    const uint32_t a = 0x80300000;
    std::array<uint8_t, 16> first = Entry(a);
    first[0] = 0x00;
    first[1] = 0x2A;
    first[2] = 0xDE;
    first[3] = 0xAD;
    first[10] = 0x7F;
    first[12] = 0xFE;
    PlaceTable(*session, {first, Entry(a - 2560), Entry(a - 5120), Entry(0x801FF600)});
    RecordingUi ui;
    const CatalogueResult result = BuildTextureCatalogue(*session, ui);
    ASSERT_TRUE(result.accepted);
    ASSERT_EQ(result.recordCount, 4u);
    const TextureCatalogue& c = session->catalogue;
    EXPECT_EQ(c.records[0].entry.identifier, 42);
    EXPECT_EQ(c.records[0].entry.unused2, (std::array<uint8_t, 2>{0xDE, 0xAD}));
    EXPECT_EQ(c.records[0].entry.byte10, 0x7F);
    EXPECT_EQ(c.records[0].entry.unused12[0], 0xFE);
    EXPECT_EQ(c.records[3].entry.address, 0x801FF600u);
    EXPECT_EQ(c.records[0].size, 4104u);
    EXPECT_EQ(c.records[1].size, 2560u);
    EXPECT_EQ(c.records[2].size, 2560u);
}

TEST(BuildTextureCatalogue, AnEntryAboveThePreviousOneWrapsItsSize) {
    auto session = LoadedSession();
    PlaceTable(*session, {Entry(0x80300000), Entry(0x80300100), Entry(0x80200000)});
    RecordingUi ui;
    ASSERT_TRUE(BuildTextureCatalogue(*session, ui).accepted);
    EXPECT_EQ(session->catalogue.records[1].size, 0xFFFFFF00u);
    EXPECT_EQ(session->catalogue.records[2].size, 0x100100u);
}

TEST(BuildTextureCatalogue, TheRecordCountDropsARemainderBelow16Bytes) {
    auto session = LoadedSession();
    PutWord(*session, kTableRootNtsc, 0x80200000);
    PutWord(*session, kTableRootNtsc - 8, 0x80200000 + 40);
    RecordingUi ui;
    EXPECT_EQ(BuildTextureCatalogue(*session, ui).recordCount, 2u);
}

TEST(BuildTextureCatalogue, AnEmptyTableIsAcceptedWithNoRecords) {
    gen::StateOptions options;
    options.table = gen::TableShape::Empty;
    auto session = LoadedSession(options);
    RecordingUi ui;
    const CatalogueResult result = BuildTextureCatalogue(*session, ui);
    EXPECT_TRUE(result.accepted);
    EXPECT_EQ(result.recordCount, 0u);
    EXPECT_TRUE(ui.messages.empty());
}

TEST(BuildTextureCatalogue, ATableOver512EntriesIsCutTo512) {
    gen::StateOptions options;
    options.table = gen::TableShape::OverFull;
    auto session = LoadedSession(options);
    const gen::GeneratedState expected = gen::GenerateSaveState(options);
    ASSERT_EQ(expected.textures.size(), 513u);
    RecordingUi ui;
    const CatalogueResult result = BuildTextureCatalogue(*session, ui);
    ASSERT_TRUE(result.accepted);
    EXPECT_EQ(result.recordCount, 512u);
    EXPECT_EQ(session->catalogue.records[511].entry.address, expected.textures[511].address);
}

TEST(BuildTextureCatalogue, AHugeTableInsideMemoryIsCutTo512) {
    auto session = LoadedSession();
    PutWord(*session, kTableRootNtsc, 0x80100000);
    PutWord(*session, kTableRootNtsc - 8, 0x80100000 + 100000 * 16);
    RecordingUi ui;
    const CatalogueResult result = BuildTextureCatalogue(*session, ui);
    EXPECT_TRUE(result.accepted);
    EXPECT_EQ(result.recordCount, 512u);
}

TEST(BuildTextureCatalogue, RefusesAWrappedTableAndOneOutsideMemory) {
    struct Case {
        uint32_t start, end;
    };
    for (const Case& c : {Case{0x80200000, 0x801FFFF0}, Case{0x803FFFF0, 0x80400010},
                          Case{0x80500000, 0x80500100}}) {
        auto session = LoadedSession();
        PutWord(*session, kTableRootNtsc, c.start);
        PutWord(*session, kTableRootNtsc - 8, c.end);
        RecordingUi ui;
        EXPECT_FALSE(BuildTextureCatalogue(*session, ui).accepted) << std::hex << c.start;
        EXPECT_EQ(ui.messages, std::vector<Error>{Error::TextureTableNotValid});
        // The release was already recognised and stays on the status line.
        EXPECT_EQ(ui.statuses, std::vector<Status>{Status::DetectedNtsc});
        EXPECT_EQ(session->catalogue.shownCount, 0);
    }
}

TEST(BuildTextureCatalogue, TheGeneratorsWrappedTableIsRefused) {
    gen::StateOptions options;
    options.table = gen::TableShape::Wrapped;
    auto session = LoadedSession(options);
    RecordingUi ui;
    EXPECT_FALSE(BuildTextureCatalogue(*session, ui).accepted);
    EXPECT_EQ(ui.messages, std::vector<Error>{Error::TextureTableNotValid});
}

TEST(IsFaceTexture, NeedsFormat9And32By64) {
    TextureTableEntry entry;
    entry.format = 9;
    entry.width = 32;
    entry.height = 64;
    EXPECT_TRUE(IsFaceTexture(entry));
    entry.format = 8;
    EXPECT_FALSE(IsFaceTexture(entry));
    entry.format = 9;
    entry.width = 64;
    entry.height = 32;
    EXPECT_FALSE(IsFaceTexture(entry));
}

}  // namespace
}  // namespace morvane
