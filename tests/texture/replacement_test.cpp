#include <gtest/gtest.h>

#include <vector>

#include "common/byte_order.h"
#include "support/bitmap_builder.h"
#include "support/face_entry.h"
#include "support/temp_dir.h"
#include "texture/texture_converter.h"

namespace morvane {
namespace {

using test::BitmapFields;

class Replacement : public ::testing::Test {
protected:
    Error Prepare(const std::vector<uint8_t>& file, uint8_t format = 9) {
        test::WriteAll(m_dir / "face.bmp", file);
        return PrepareReplacement(m_dir / "face.bmp", test::FaceEntry(format), {}, m_out);
    }
    Error Prepare(const BitmapFields& fields) { return Prepare(test::BuildBitmap(fields)); }

    // A refusal must leave the caller's bytes as they were.
    void ExpectRefused(const BitmapFields& fields, Error expected) {
        m_out.fill(0xEE);
        EXPECT_EQ(Prepare(fields), expected);
        EXPECT_TRUE(std::all_of(m_out.begin(), m_out.end(), [](uint8_t b) { return b == 0xEE; }));
    }

    test::TempDir m_dir;
    ReplacementBytes m_out{};
};

TEST_F(Replacement, FaceBitmapGivesTexelsAndPalette) {
    const BitmapFields fields = test::FaceBitmapFields();
    ASSERT_EQ(Prepare(fields), Error::None);
    EXPECT_TRUE(std::equal(fields.bits.begin(), fields.bits.end(), m_out.begin()));
    // Entry 255: blue 255, green 0, red 0xAA.
    EXPECT_EQ(LoadBE16(&m_out[2048 + 510]), (0xAA >> 3) << 11 | (255 >> 3) << 1);
}

TEST_F(Replacement, FormatIsTheSwapMode) {
    const BitmapFields fields = test::FaceBitmapFields();
    ASSERT_EQ(Prepare(test::BuildBitmap(fields), kSwapOddRowsMode), Error::None);
    EXPECT_EQ(m_out[32], fields.bits[36]);
    EXPECT_EQ(m_out[0], fields.bits[0]);
}

TEST_F(Replacement, ShortColourTableIsPaddedWithZeroEntries) {
    BitmapFields fields = test::FaceBitmapFields();
    fields.colours = test::DistinctColours(16);
    m_out.fill(0xEE);
    ASSERT_EQ(Prepare(fields), Error::None);
    EXPECT_NE(LoadBE16(&m_out[2048 + 30]), 0);
    EXPECT_TRUE(
        std::all_of(m_out.begin() + 2048 + 32, m_out.end(), [](uint8_t b) { return b == 0; }));
}

TEST_F(Replacement, LongColourTableIsCutTo256) {
    BitmapFields fields = test::FaceBitmapFields();
    fields.colours = test::DistinctColours(300);
    ASSERT_EQ(Prepare(fields), Error::None);
    EXPECT_TRUE(std::equal(fields.bits.begin(), fields.bits.end(), m_out.begin()));
    EXPECT_EQ(LoadBE16(&m_out[2048 + 510]), (0xAA >> 3) << 11 | (255 >> 3) << 1);
}

TEST_F(Replacement, TopDownAndRunLengthEncodedAreAccepted) {
    BitmapFields fields = test::FaceBitmapFields();
    fields.height = -64;
    EXPECT_EQ(Prepare(fields), Error::None);
    // Row 0 is the picture's bottom row: the last row stored.
    EXPECT_TRUE(std::equal(fields.bits.end() - 32, fields.bits.end(), m_out.begin()));

    fields = test::FaceBitmapFields();
    fields.compression = 1;
    fields.bits = {32, 9, 0, 0, 0, 1};  // one row of 9s, the rest left at 0
    ASSERT_EQ(Prepare(fields), Error::None);
    EXPECT_TRUE(std::all_of(m_out.begin(), m_out.begin() + 32, [](uint8_t b) { return b == 9; }));
    EXPECT_TRUE(
        std::all_of(m_out.begin() + 32, m_out.begin() + 2048, [](uint8_t b) { return b == 0; }));
}

TEST_F(Replacement, EachRefusal) {
    EXPECT_EQ(PrepareReplacement(m_dir / "none.bmp", test::FaceEntry(), {}, m_out),
              Error::CouldNotOpenFile);

    BitmapFields fields = test::FaceBitmapFields();
    std::vector<uint8_t> file = test::BuildBitmap(fields);
    file[0] = 'X';
    m_out.fill(0xEE);
    EXPECT_EQ(Prepare(file), Error::NotAPicture);
    EXPECT_EQ(m_out[0], 0xEE);

    fields.infoSize = 12;
    ExpectRefused(fields, Error::NotABitmap);

    fields = test::FaceBitmapFields();
    fields.bitCount = 4;
    ExpectRefused(fields, Error::Not256ColourBitmap);

    for (const auto& [width, height] :
         {std::pair{32, 32}, {64, 32}, {33, 64}, {32, 65}, {-32, 64}}) {
        fields = test::FaceBitmapFields();
        fields.width = width;
        fields.height = height;
        ExpectRefused(fields, Error::Not32x64Bitmap);
    }

    for (const uint32_t compression : {2u, 3u, 4u, 5u, 6u}) {
        fields = test::FaceBitmapFields();
        fields.compression = compression;
        ExpectRefused(fields, Error::CompressionNotSupported);
    }

    fields = test::FaceBitmapFields();
    fields.bits.resize(2047);  // the last texel is missing
    ExpectRefused(fields, Error::Invalid);
}

}  // namespace
}  // namespace morvane
