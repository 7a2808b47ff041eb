#include <gtest/gtest.h>

#include <vector>

#include "common/byte_order.h"
#include "support/bitmap_builder.h"
#include "support/temp_dir.h"
#include "texture/texture_converter.h"

namespace morvane {
namespace {

class CheckBitmap : public ::testing::Test {
protected:
    int Check(const std::vector<uint8_t>& file) {
        test::WriteAll(m_dir / "a.bmp", file);
        return CheckBitmapFile(m_dir / "a.bmp");
    }
    test::TempDir m_dir;
};

TEST_F(CheckBitmap, EightBitBitmapIsAccepted) {
    EXPECT_EQ(Check(test::BuildBitmap(test::FaceBitmapFields())), 0);
}

TEST_F(CheckBitmap, MissingFileGivesOne) {
    EXPECT_EQ(CheckBitmapFile(m_dir / "none.bmp"), 1);
    EXPECT_EQ(CheckBitmapFile(m_dir.path()), 1);  // a folder is no file to read
}

TEST_F(CheckBitmap, OtherFirstBytesGiveTwoEvenWithEightAt28) {
    std::vector<uint8_t> file = test::BuildBitmap(test::FaceBitmapFields());
    file[1] = 'A';
    EXPECT_EQ(Check(file), 2);
    file[0] = 'M';
    file[1] = 'B';
    EXPECT_EQ(Check(file), 2);
}

// 16, 24 and 32 bits hold their colours, which are reduced to the palette.
TEST_F(CheckBitmap, TrueColourIsAcceptedAndOtherDepthsGiveThree) {
    for (const uint16_t depth : {16, 24, 32}) {
        test::BitmapFields fields = test::FaceBitmapFields();
        fields.bitCount = depth;
        EXPECT_EQ(Check(test::BuildBitmap(fields)), 0) << depth;
    }
    for (const uint16_t depth : {4, 1, 0, 2, 64}) {
        test::BitmapFields fields = test::FaceBitmapFields();
        fields.bitCount = depth;
        EXPECT_EQ(Check(test::BuildBitmap(fields)), 3) << depth;
    }
}

TEST_F(CheckBitmap, BitCountIsOneSixteenBitValueAndPlanesDoNotMatter) {
    test::BitmapFields fields = test::FaceBitmapFields();
    fields.planes = 0x0800;
    EXPECT_EQ(Check(test::BuildBitmap(fields)), 0);
    fields.planes = 1;
    fields.bitCount = 0x0108;  // 8 in the low byte alone is not 8
    EXPECT_EQ(Check(test::BuildBitmap(fields)), 3);
}

TEST_F(CheckBitmap, AnyDimensionsAndCompressionPassTheCheck) {
    test::BitmapFields fields = test::FaceBitmapFields();
    fields.width = 7;
    fields.height = -3;
    fields.compression = 2;
    fields.clrUsed = 9999;
    EXPECT_EQ(Check(test::BuildBitmap(fields)), 0);
}

TEST_F(CheckBitmap, FileTooShortForItsHeadersIsNotABitmap) {
    const std::vector<uint8_t> whole = test::BuildBitmap(test::FaceBitmapFields());
    // Every cut inside the 54 header bytes, and the bare "BM".
    for (const size_t length : {2u, 13u, 14u, 17u, 18u, 29u, 53u}) {
        EXPECT_EQ(Check(std::vector<uint8_t>(whole.begin(), whole.begin() + length)), 2) << length;
    }
    EXPECT_EQ(Check({}), 2);
}

TEST_F(CheckBitmap, InfoHeaderSizeDecides) {
    for (const uint32_t size : {40u, 52u, 56u, 108u, 124u}) {
        test::BitmapFields fields = test::FaceBitmapFields();
        fields.infoSize = size;
        EXPECT_EQ(Check(test::BuildBitmap(fields)), 0) << size;
    }
    for (const uint32_t size : {12u, 0u, 39u, 41u, 64u, 0xFFFFFFFFu}) {
        std::vector<uint8_t> file = test::BuildBitmap(test::FaceBitmapFields());
        StoreLE32(&file[14], size);
        EXPECT_EQ(Check(file), 2) << size;
    }
}

TEST_F(CheckBitmap, InfoHeaderLongerThanTheFileIsNotABitmap) {
    test::BitmapFields fields;
    fields.infoSize = 124;
    std::vector<uint8_t> file = test::BuildBitmap(fields);
    file.resize(14 + 123);
    EXPECT_EQ(Check(file), 2);
}

TEST_F(CheckBitmap, PixelOffsetInsideTheHeadersOrPastTheEndIsNotABitmap) {
    std::vector<uint8_t> file = test::BuildBitmap(test::FaceBitmapFields());
    StoreLE32(&file[10], 53);
    EXPECT_EQ(Check(file), 2);
    StoreLE32(&file[10], static_cast<uint32_t>(file.size() + 1));
    EXPECT_EQ(Check(file), 2);
    StoreLE32(&file[10], static_cast<uint32_t>(file.size()));
    EXPECT_EQ(Check(file), 0);
}

}  // namespace
}  // namespace morvane
