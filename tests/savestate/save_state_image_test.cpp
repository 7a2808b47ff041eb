#include "savestate/save_state_image.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include "support/temp_dir.h"
#include "tools/state_generator.h"

namespace morvane {
namespace {

std::vector<uint8_t> GeneratedFile(gen::StateOptions options = {}) {
    return gen::GenerateSaveState(options).file;
}

TEST(LoadSaveState, ReversesEveryWordIntoMemoryOrder) {
    std::vector<uint8_t> file(kSaveStateSize, 0);
    file[40] = 'D';
    file[41] = 'L';
    file[42] = 'O';
    file[43] = 'G';
    file[68] = 0;
    file[69] = 0x45;
    // The first RDRAM word and the last tail word.
    const uint8_t rdramWord[] = {0x2C, 0xC7, 0x08, 0x80};
    std::copy(std::begin(rdramWord), std::end(rdramWord), file.begin() + kHeaderBlockSize);
    file[kSaveStateSize - 4] = 0x11;
    file[kSaveStateSize - 1] = 0x44;

    SaveStateImage image;
    ASSERT_EQ(LoadSaveState(image, file), Error::None);
    EXPECT_EQ(std::string(image.header.begin() + 40, image.header.begin() + 44), "GOLD");
    EXPECT_EQ(image.header[70], 0x45);
    EXPECT_EQ(image.header[71], 0x00);
    EXPECT_EQ(image.RdramImage[0], 0x80);
    EXPECT_EQ(image.RdramImage[3], 0x2C);
    EXPECT_EQ(image.tail[kTailBlockSize - 4], 0x44);
    EXPECT_EQ(image.tail[kTailBlockSize - 1], 0x11);
    EXPECT_TRUE(image.loaded);
}

TEST(LoadSaveState, RefusesAShortFileAndKeepsTheEarlierImage) {
    SaveStateImage image;
    const std::vector<uint8_t> first = GeneratedFile();
    ASSERT_EQ(LoadSaveState(image, first), Error::None);
    const std::vector<uint8_t> before = SaveStateFileBytes(image);

    for (size_t length :
         {size_t{0}, kHeaderBlockSize, kHeaderBlockSize + kRdramBlockSize, kSaveStateSize - 1}) {
        std::vector<uint8_t> shorter(first.begin(), first.begin() + static_cast<long>(length));
        std::fill(shorter.begin(), shorter.end(), 0xEE);
        EXPECT_EQ(LoadSaveState(image, shorter), Error::StateTooShort) << length;
        EXPECT_EQ(SaveStateFileBytes(image), before) << length;
    }
}

TEST(SaveStateFileBytes, RoundTripsTheExactLength) {
    const std::vector<uint8_t> file = GeneratedFile();
    ASSERT_EQ(file.size(), kSaveStateSize);
    SaveStateImage image;
    ASSERT_EQ(LoadSaveState(image, file), Error::None);
    EXPECT_EQ(SaveStateFileBytes(image), file);
}

TEST(SaveStateFileBytes, KeepsBytesPastTheTail) {
    gen::StateOptions options;
    options.trailingBytes = 4 * 1024 * 1024 + 3;  // an 8 MiB state's second half, and an odd end
    const std::vector<uint8_t> file = GeneratedFile(options);
    SaveStateImage image;
    ASSERT_EQ(LoadSaveState(image, file), Error::None);
    EXPECT_EQ(image.trailing.size(), options.trailingBytes);
    EXPECT_EQ(SaveStateFileBytes(image), file);
}

class RdramTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::vector<uint8_t> file(kSaveStateSize, 0);
        // The word at console address 0x08C72C holds 0x12345678.
        const size_t at = kHeaderBlockSize + 0x08C72C;
        file[at + 0] = 0x78;
        file[at + 1] = 0x56;
        file[at + 2] = 0x34;
        file[at + 3] = 0x12;
        file[kHeaderBlockSize + kRdramBlockSize - 4] = 0xAB;  // the block's last word, low byte
        ASSERT_EQ(LoadSaveState(m_image, file), Error::None);
    }
    SaveStateImage m_image;
};

TEST_F(RdramTest, MapsAddressesByTheirLow24Bits) {
    for (uint32_t address : {0x8008C72Cu, 0x0008C72Cu, 0xA008C72Cu, 0xFF08C72Cu}) {
        uint8_t word[4] = {};
        EXPECT_EQ(ReadRdram(m_image, address, 4, word), 4u);
        EXPECT_EQ(word[0], 0x12) << std::hex << address;
        EXPECT_EQ(word[3], 0x78) << std::hex << address;
    }
}

TEST_F(RdramTest, ReadingPastTheEndGivesZerosForTheRest) {
    uint8_t bytes[8];
    std::fill(std::begin(bytes), std::end(bytes), 0xCC);
    EXPECT_EQ(ReadRdram(m_image, 0x803FFFFC, 8, bytes), 4u);
    EXPECT_EQ(bytes[3], 0xAB);
    for (int i = 4; i < 8; ++i) {
        EXPECT_EQ(bytes[i], 0) << i;
    }
    // Wholly outside the 4 MiB block: all zeros, nothing from the block.
    std::fill(std::begin(bytes), std::end(bytes), 0xCC);
    EXPECT_EQ(ReadRdram(m_image, 0x80FFFFFF, 8, bytes), 0u);
    EXPECT_EQ(bytes[0], 0);
    EXPECT_EQ(bytes[7], 0);
}

TEST_F(RdramTest, AWriteThatWouldRunPastTheEndIsRefusedWhole) {
    const auto before = m_image.RdramImage;
    const std::vector<uint8_t> bytes(16, 0x5A);
    EXPECT_FALSE(WriteRdram(m_image, 0x803FFFF8, bytes));
    EXPECT_FALSE(WriteRdram(m_image, 0x80500000, bytes));
    EXPECT_EQ(m_image.RdramImage, before);

    EXPECT_TRUE(WriteRdram(m_image, 0x803FFFF0, bytes));
    EXPECT_EQ(m_image.RdramImage[0x3FFFF0], 0x5A);
    EXPECT_EQ(m_image.RdramImage[0x3FFFFF], 0x5A);
}

TEST_F(RdramTest, WritesGoInUnchangedAndTheTopByteIsIgnored) {
    const uint8_t bytes[] = {1, 2, 3, 4, 5};
    ASSERT_TRUE(WriteRdram(m_image, 0x12000101, bytes));
    uint8_t back[5] = {};
    ReadRdram(m_image, 0x80000101, 5, back);
    EXPECT_TRUE(std::equal(std::begin(bytes), std::end(bytes), std::begin(back)));
}

TEST(WriteSaveState, WritesTheFileAndReplacesAnExistingOne) {
    test::TempDir dir;
    const std::vector<uint8_t> file = GeneratedFile();
    SaveStateImage image;
    ASSERT_EQ(LoadSaveState(image, file), Error::None);
    const auto path = dir / "out_new.pj";
    test::WriteAll(path, {1, 2, 3});

    ASSERT_EQ(WriteSaveState(image, path), Error::None);
    EXPECT_EQ(test::ReadAll(path), file);
    // Nothing but the target is left in the folder.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()),
                            std::filesystem::directory_iterator()),
              1);
}

TEST(WriteSaveState, AFailedWriteLeavesTheOldFileAndTheImage) {
    test::TempDir dir;
    SaveStateImage image;
    ASSERT_EQ(LoadSaveState(image, GeneratedFile()), Error::None);
    const std::vector<uint8_t> imageBefore = SaveStateFileBytes(image);

    // A folder that does not exist, and a "folder" that is a file.
    EXPECT_EQ(WriteSaveState(image, dir / "missing" / "x_new.pj"), Error::CouldNotWriteSaveState);
    test::WriteAll(dir / "plain", {9});
    EXPECT_EQ(WriteSaveState(image, dir / "plain" / "x_new.pj"), Error::CouldNotWriteSaveState);
    EXPECT_EQ(test::ReadAll(dir / "plain"), std::vector<uint8_t>{9});
    EXPECT_EQ(SaveStateFileBytes(image), imageBefore);
}

TEST(WriteSaveState, AReadOnlyFolderKeepsTheOldFile) {
    if (::geteuid() == 0) {
        GTEST_SKIP() << "root writes into read-only folders";
    }
    test::TempDir dir;
    SaveStateImage image;
    ASSERT_EQ(LoadSaveState(image, GeneratedFile()), Error::None);
    const auto folder = dir / "locked";
    std::filesystem::create_directory(folder);
    test::WriteAll(folder / "x_new.pj", {7, 7, 7});
    ::chmod(folder.c_str(), 0555);
    EXPECT_EQ(WriteSaveState(image, folder / "x_new.pj"), Error::CouldNotWriteSaveState);
    ::chmod(folder.c_str(), 0755);
    EXPECT_EQ(test::ReadAll(folder / "x_new.pj"), (std::vector<uint8_t>{7, 7, 7}));
}

TEST(LoadSaveStateFile, AMissingFileCannotBeOpened) {
    test::TempDir dir;
    SaveStateImage image;
    EXPECT_EQ(LoadSaveStateFile(image, dir / "nothing.pj"), Error::CouldNotOpenFile);
    EXPECT_EQ(LoadSaveStateFile(image, dir.path()), Error::CouldNotOpenFile);
    EXPECT_FALSE(image.loaded);
}

}  // namespace
}  // namespace morvane
