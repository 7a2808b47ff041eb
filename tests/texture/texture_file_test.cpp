#include <gtest/gtest.h>

#include <vector>

#include "support/temp_dir.h"
#include "texture/texture_converter.h"

namespace morvane {
namespace {

TextureRecord FaceRecord() {
    TextureRecord record;
    record.size = 2560;
    record.entry.identifier = 0x1234;
    record.entry.unused2 = {0xAA, 0xBB};
    record.entry.width = 32;
    record.entry.height = 64;
    record.entry.byte10 = 0x5A;
    record.entry.format = 9;
    return record;
}

std::vector<uint8_t> Payload(size_t size) {
    std::vector<uint8_t> payload(size);
    for (size_t i = 0; i < size; ++i) {
        payload[i] = static_cast<uint8_t>(i * 13 + 1);
    }
    return payload;
}

TEST(TextureFile, HeaderBytesOfAFaceTexture) {
    test::TempDir dir;
    const std::vector<uint8_t> payload = Payload(2560);
    ASSERT_EQ(CTextureConverter().WriteTextureFile(FaceRecord(), payload, dir / "a.tex"), 0);

    const std::vector<uint8_t> file = test::ReadAll(dir / "a.tex");
    ASSERT_EQ(file.size(), 16u + 2560u);
    const std::vector<uint8_t> header(file.begin(), file.begin() + 16);
    // Bytes 6 and 7 are zero although the entry's bytes 2 and 3 are not.
    const std::vector<uint8_t> expected = {'G',  'T',  'E',  'X',  0x34, 0x12, 0x00, 0x00,
                                           0x20, 0x40, 0x5A, 0x09, 0x00, 0x08, 0x00, 0x00};
    EXPECT_EQ(header, expected);
    EXPECT_TRUE(std::equal(payload.begin(), payload.end(), file.begin() + 16));
}

TEST(TextureFile, IdentifierIsLittleEndianAndPaletteOffsetFixed) {
    test::TempDir dir;
    TextureRecord record = FaceRecord();
    record.entry.identifier = 1;
    record.entry.width = 8;
    record.entry.height = 4;
    record.size = 40;
    ASSERT_EQ(CTextureConverter().WriteTextureFile(record, Payload(100), dir / "a.tex"), 0);
    const std::vector<uint8_t> file = test::ReadAll(dir / "a.tex");
    ASSERT_EQ(file.size(), 56u);  // only `size` payload bytes, not all that were given
    EXPECT_EQ(file[4], 0x01);
    EXPECT_EQ(file[5], 0x00);
    EXPECT_EQ(file[12], 0x00);
    EXPECT_EQ(file[13], 0x08);  // 2048 whatever the dimensions
}

TEST(TextureFile, SizeZeroGivesTheHeaderAlone) {
    test::TempDir dir;
    TextureRecord record = FaceRecord();
    record.size = 0;
    ASSERT_EQ(CTextureConverter().WriteTextureFile(record, {}, dir / "a.tex"), 0);
    EXPECT_EQ(test::ReadAll(dir / "a.tex").size(), 16u);
}

TEST(TextureFile, SecondWriteReplacesTheFirst) {
    test::TempDir dir;
    TextureRecord record = FaceRecord();
    const CTextureConverter converter;
    ASSERT_EQ(converter.WriteTextureFile(record, Payload(2560), dir / "a.tex"), 0);
    record.size = 4;
    const std::vector<uint8_t> second = {9, 8, 7, 6};
    ASSERT_EQ(converter.WriteTextureFile(record, second, dir / "a.tex"), 0);
    const std::vector<uint8_t> file = test::ReadAll(dir / "a.tex");
    ASSERT_EQ(file.size(), 20u);
    EXPECT_EQ(std::vector<uint8_t>(file.begin() + 16, file.end()), second);
}

TEST(TextureFile, PayloadShorterThanSizeWritesNothing) {
    test::TempDir dir;
    const std::vector<uint8_t> before = {1, 2, 3};
    test::WriteAll(dir / "a.tex", before);
    EXPECT_EQ(CTextureConverter().WriteTextureFile(FaceRecord(), Payload(2559), dir / "a.tex"), 1);
    EXPECT_EQ(test::ReadAll(dir / "a.tex"), before);
}

TEST(TextureFile, UnwritablePathGivesOne) {
    test::TempDir dir;
    EXPECT_EQ(CTextureConverter().WriteTextureFile(FaceRecord(), Payload(2560),
                                                   dir / "missing" / "a.tex"),
              1);
    EXPECT_FALSE(std::filesystem::exists(dir / "missing"));
}

}  // namespace
}  // namespace morvane
