#include <gtest/gtest.h>

#include <vector>

#include "common/byte_order.h"
#include "dib/dib.h"
#include "support/bitmap_builder.h"
#include "support/temp_dir.h"

namespace morvane {
namespace {

using test::BitmapFields;
using test::BuildBitmap;

// The gallery's thumbnail file, as the texture-to-bitmap conversion writes it.
BitmapFields Thumbnail16() {
    BitmapFields fields;
    fields.bitCount = 16;
    fields.bits.resize(4096);
    for (size_t i = 0; i < fields.bits.size(); ++i) {
        fields.bits[i] = static_cast<uint8_t>(i);
    }
    return fields;
}

TEST(Dib, SixteenBitThumbnail) {
    const std::vector<uint8_t> file = BuildBitmap(Thumbnail16());
    ASSERT_EQ(file.size(), 54u + 4096u);
    CDib dib;
    EXPECT_EQ(dib.Read(file), 54u + 4096u);
    EXPECT_EQ(dib.Info().size(), 1064u);
    EXPECT_TRUE(std::equal(dib.Info().begin(), dib.Info().begin() + 40, file.begin() + 14));
    EXPECT_TRUE(
        std::all_of(dib.Info().begin() + 40, dib.Info().end(), [](uint8_t b) { return b == 0; }));
    EXPECT_EQ(dib.Bits().size(), 4096u);
    EXPECT_TRUE(std::equal(dib.Bits().begin(), dib.Bits().end(), file.begin() + 54));
    EXPECT_EQ(dib.ColourCount(), 0);
    EXPECT_FALSE(dib.Palette().has_value());
    EXPECT_EQ(dib.Width(), 32);
    EXPECT_EQ(dib.Height(), 64);
    EXPECT_EQ(dib.BitCount(), 16);
}

TEST(Dib, EightBitPaletteIsRedGreenBlueFromTheFilesBlueGreenRed) {
    BitmapFields fields = test::FaceBitmapFields();
    CDib dib;
    ASSERT_NE(dib.Read(BuildBitmap(fields)), 0u);
    EXPECT_EQ(dib.ColourCount(), 256);
    ASSERT_TRUE(dib.Palette().has_value());
    const LogicalPalette& palette = *dib.Palette();
    EXPECT_EQ(palette.version, 0x300);
    ASSERT_EQ(palette.entries.size(), 256u);
    for (size_t k = 0; k < 256; ++k) {
        EXPECT_EQ(palette.entries[k].red, fields.colours[k][2]);
        EXPECT_EQ(palette.entries[k].green, fields.colours[k][1]);
        EXPECT_EQ(palette.entries[k].blue, fields.colours[k][0]);
        EXPECT_EQ(palette.entries[k].flags, 0);
    }
}

TEST(Dib, ColourCountByClrUsedAndDepth) {
    struct Case {
        uint16_t bitCount;
        uint32_t clrUsed;
        size_t stored;
        uint16_t expected;
    };
    for (const Case c :
         {Case{8, 16, 16, 16}, Case{4, 0, 16, 16}, Case{1, 0, 2, 2}, Case{8, 0x10003, 3, 3}}) {
        BitmapFields fields;
        fields.bitCount = c.bitCount;
        fields.clrUsed = c.clrUsed;
        fields.colours = test::DistinctColours(c.stored);
        fields.bits.assign(2048, 0);
        CDib dib;
        ASSERT_NE(dib.Read(BuildBitmap(fields)), 0u) << c.bitCount;
        EXPECT_EQ(dib.ColourCount(), c.expected) << c.bitCount;
        ASSERT_TRUE(dib.Palette().has_value());
        EXPECT_EQ(dib.Palette()->entries.size(), c.expected);
        EXPECT_EQ(dib.Palette()->entries.back().blue, c.expected - 1);
    }
}

TEST(Dib, TwentyFourBitHasNoPalette) {
    BitmapFields fields;
    fields.bitCount = 24;
    fields.bits.assign(32 * 64 * 3, 7);
    CDib dib;
    ASSERT_EQ(dib.Read(BuildBitmap(fields)), 54u + 6144u);
    EXPECT_EQ(dib.ColourCount(), 0);
    EXPECT_EQ(dib.BuildPalette(), 1);
    EXPECT_FALSE(dib.Palette().has_value());
}

TEST(Dib, ColourTableStoredShortReadsAsBlack) {
    BitmapFields fields = test::FaceBitmapFields();
    fields.colours = test::DistinctColours(16);
    CDib dib;
    ASSERT_NE(dib.Read(BuildBitmap(fields)), 0u);
    ASSERT_EQ(dib.Palette()->entries.size(), 256u);
    EXPECT_EQ(dib.Palette()->entries[15].blue, 15);
    for (size_t k = 16; k < 256; ++k) {
        const LogicalPalette::Entry& e = dib.Palette()->entries[k];
        EXPECT_EQ(e.red | e.green | e.blue, 0) << k;
    }
}

TEST(Dib, ClrUsedPastTheBlockIsCutToTheRoomThere) {
    BitmapFields fields = test::FaceBitmapFields();
    fields.colours = test::DistinctColours(16);
    fields.clrUsed = 60000;
    CDib dib;
    ASSERT_NE(dib.Read(BuildBitmap(fields)), 0u);
    EXPECT_EQ(dib.ColourCount(), 60000);
    // 16 stored entries and 256 spare ones.
    EXPECT_EQ(dib.Palette()->entries.size(), 16u + 256u);
}

TEST(Dib, ColourTableFollowsLongerInfoHeaders) {
    for (const uint32_t size : {52u, 56u, 108u, 124u}) {
        BitmapFields fields = test::FaceBitmapFields();
        fields.infoSize = size;
        CDib dib;
        ASSERT_EQ(dib.Read(BuildBitmap(fields)), 14u + size + 1024u + 2048u) << size;
        EXPECT_EQ(dib.InfoSize(), size);
        EXPECT_EQ(dib.Info().size(), size + 1024u + 1024u);
        ASSERT_EQ(dib.Palette()->entries.size(), 256u);
        EXPECT_EQ(dib.Palette()->entries[1].red, 0x54) << size;
        EXPECT_EQ(dib.Palette()->entries[255].blue, 255) << size;
    }
}

TEST(Dib, TrailingBytesJoinTheBits) {
    std::vector<uint8_t> file = BuildBitmap(Thumbnail16());
    file.insert(file.end(), {1, 2, 3});
    CDib dib;
    EXPECT_EQ(dib.Read(file), 54u + 4096u + 3u);
    ASSERT_EQ(dib.Bits().size(), 4099u);
    EXPECT_EQ(dib.Bits().back(), 3);
}

TEST(Dib, RefusalsLeaveTheObjectEmpty) {
    const std::vector<uint8_t> good = BuildBitmap(test::FaceBitmapFields());
    auto refused = [&](const std::vector<uint8_t>& file) {
        CDib dib;
        EXPECT_NE(dib.Read(good), 0u);  // a failed read must drop what was held
        return dib.Read(file) == 0 && dib.Empty() && dib.Bits().empty() &&
               !dib.Palette().has_value() && dib.ColourCount() == 0 && dib.Width() == 0;
    };
    std::vector<uint8_t> file = good;
    file[0] = 'X';
    EXPECT_TRUE(refused(file));
    for (const size_t length : {0u, 1u, 13u, 14u, 40u, 53u, 54u, 1077u, 1078u, 1078u + 2047u}) {
        EXPECT_TRUE(refused(std::vector<uint8_t>(good.begin(), good.begin() + length))) << length;
    }
    file = good;
    StoreLE32(&file[10], 13);
    EXPECT_TRUE(refused(file));
    StoreLE32(&file[10], 53);  // inside the info header
    EXPECT_TRUE(refused(file));
    StoreLE32(&file[10], 0xFFFFFFFF);
    EXPECT_TRUE(refused(file));
    file = good;
    StoreLE32(&file[14], 12);
    EXPECT_TRUE(refused(file));
}

TEST(Dib, CompressedBitsAreTakenWhateverTheirLength) {
    BitmapFields fields = test::FaceBitmapFields();
    fields.compression = 1;
    fields.bits = {0, 1};
    CDib dib;
    EXPECT_NE(dib.Read(BuildBitmap(fields)), 0u);
    EXPECT_EQ(dib.Bits().size(), 2u);
    EXPECT_EQ(dib.Compression(), 1u);
}

TEST(Dib, ReadFromAPath) {
    test::TempDir dir;
    const std::vector<uint8_t> file = BuildBitmap(Thumbnail16());
    test::WriteAll(dir / "a.bmp", file);
    CDib dib;
    EXPECT_EQ(dib.Read(dir / "a.bmp"), file.size());
    EXPECT_EQ(dib.Read(dir / "none.bmp"), 0u);
    EXPECT_TRUE(dib.Empty());
}

TEST(Dib, FreeEmptiesAndBuildPaletteNeedsAHeader) {
    CDib dib;
    EXPECT_EQ(dib.BuildPalette(), 0);
    ASSERT_NE(dib.Read(BuildBitmap(test::FaceBitmapFields())), 0u);
    dib.Free();
    EXPECT_TRUE(dib.Empty());
    EXPECT_TRUE(dib.Bits().empty());
    EXPECT_FALSE(dib.Palette().has_value());
    EXPECT_EQ(dib.BuildPalette(), 0);
}

}  // namespace
}  // namespace morvane
