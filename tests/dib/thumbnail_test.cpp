#include <gtest/gtest.h>

#include <vector>

#include "common/byte_order.h"
#include "dib/thumbnail.h"
#include "support/bitmap_builder.h"

namespace morvane {
namespace {

using test::BitmapFields;

struct Rgb {
    uint8_t red, green, blue;
    bool operator==(const Rgb&) const = default;
};

Rgb At(const Thumbnail& t, int x, int y) {
    const size_t i = 3 * (static_cast<size_t>(y) * t.width + x);
    return {t.rgb[i], t.rgb[i + 1], t.rgb[i + 2]};
}

Thumbnail Render(const BitmapFields& fields, int width, int height) {
    CDib dib;
    EXPECT_NE(dib.Read(test::BuildBitmap(fields)), 0u);
    return RenderThumbnail(dib, width, height);
}

bool Blank(const Thumbnail& t) {
    return std::all_of(t.rgb.begin(), t.rgb.end(), [](uint8_t b) { return b == 0; });
}

// A 4 x 2 picture at every indexed depth: pixel (x, row from the top) has
// colour index x + 4 * row, masked to what the depth can hold.
BitmapFields Indexed(uint16_t bitCount) {
    BitmapFields fields;
    fields.width = 4;
    fields.height = 2;
    fields.bitCount = bitCount;
    fields.colours = test::DistinctColours(bitCount == 1 ? 2 : 16);
    if (bitCount == 8) {
        fields.bits = test::StoreRows8({{4, 5, 6, 7}, {0, 1, 2, 3}});  // bottom row first
    } else if (bitCount == 4) {
        fields.bits = {0x45, 0x67, 0, 0, 0x01, 0x23, 0, 0};
    } else {
        fields.bits = {0b01010000, 0, 0, 0, 0b10100000, 0, 0, 0};
    }
    return fields;
}

Rgb Colour(size_t k) {
    const uint8_t v = static_cast<uint8_t>(k);
    return {static_cast<uint8_t>(v ^ 0x55), static_cast<uint8_t>(255 - v), v};
}

TEST(Thumbnail, IndexedDepthsThroughTheColourTable) {
    for (const uint16_t depth : {8, 4}) {
        const Thumbnail t = Render(Indexed(depth), 4, 2);
        for (int y = 0; y < 2; ++y) {
            for (int x = 0; x < 4; ++x) {
                EXPECT_EQ(At(t, x, y), Colour(x + 4 * y)) << depth << " " << x << "," << y;
            }
        }
    }
    const Thumbnail t = Render(Indexed(1), 4, 2);
    EXPECT_EQ(At(t, 0, 0), Colour(1));
    EXPECT_EQ(At(t, 1, 0), Colour(0));
    EXPECT_EQ(At(t, 0, 1), Colour(0));
    EXPECT_EQ(At(t, 1, 1), Colour(1));
    EXPECT_EQ(At(t, 3, 1), Colour(1));
}

TEST(Thumbnail, RunLengthEncodedDepths) {
    BitmapFields fields = Indexed(8);
    fields.compression = 1;
    fields.bits = {0, 4, 4, 5, 6, 7, 0, 0, 0, 4, 0, 1, 2, 3, 0, 1};
    Thumbnail t = Render(fields, 4, 2);
    EXPECT_EQ(At(t, 0, 0), Colour(0));
    EXPECT_EQ(At(t, 3, 0), Colour(3));
    EXPECT_EQ(At(t, 2, 1), Colour(6));

    fields = Indexed(4);
    fields.compression = 2;
    fields.bits = {4, 0x45, 0, 0, 2, 0x01, 0, 1};  // the top row's last two stay index 0
    t = Render(fields, 4, 2);
    EXPECT_EQ(At(t, 1, 0), Colour(1));
    EXPECT_EQ(At(t, 2, 0), Colour(0));
    EXPECT_EQ(At(t, 3, 1), Colour(5));
}

TEST(Thumbnail, TrueColourDepthsBottomUpAndTopDown) {
    // 2 x 2: bottom row red, green; top row blue, white.
    BitmapFields fields;
    fields.width = 2;
    fields.height = 2;
    fields.bitCount = 24;
    fields.bits = {0, 0, 255, 0, 255, 0, 0, 0, 255, 0, 0, 255, 255, 255, 0, 0};
    const Rgb red{255, 0, 0}, green{0, 255, 0}, blue{0, 0, 255}, white{255, 255, 255};
    Thumbnail t = Render(fields, 2, 2);
    EXPECT_EQ(At(t, 0, 0), blue);
    EXPECT_EQ(At(t, 1, 0), white);
    EXPECT_EQ(At(t, 0, 1), red);
    EXPECT_EQ(At(t, 1, 1), green);

    fields.height = -2;  // now the first stored row is the top
    t = Render(fields, 2, 2);
    EXPECT_EQ(At(t, 0, 0), red);
    EXPECT_EQ(At(t, 1, 1), white);

    fields.height = 2;
    fields.bitCount = 32;
    fields.bits = {0, 0, 255, 9, 0, 255, 0, 9, 255, 0, 0, 9, 255, 255, 255, 9};
    t = Render(fields, 2, 2);
    EXPECT_EQ(At(t, 0, 0), blue);
    EXPECT_EQ(At(t, 1, 1), green);

    fields.bitCount = 16;
    fields.bits.assign(8, 0);
    StoreLE16(&fields.bits[0], 0x7C00);  // red
    StoreLE16(&fields.bits[2], 0x03E0);  // green
    StoreLE16(&fields.bits[4], 0x001F);  // blue
    StoreLE16(&fields.bits[6], 0x0421);  // one step of each
    t = Render(fields, 2, 2);
    EXPECT_EQ(At(t, 0, 1), red);
    EXPECT_EQ(At(t, 1, 1), green);
    EXPECT_EQ(At(t, 0, 0), blue);
    EXPECT_EQ(At(t, 1, 0), (Rgb{8, 8, 8}));
}

TEST(Thumbnail, IndexedTopDown) {
    BitmapFields fields = Indexed(8);
    fields.height = -2;
    fields.bits = test::StoreRows8({{0, 1, 2, 3}, {4, 5, 6, 7}});  // top row first
    const Thumbnail t = Render(fields, 4, 2);
    EXPECT_EQ(At(t, 0, 0), Colour(0));
    EXPECT_EQ(At(t, 3, 1), Colour(7));
}

TEST(Thumbnail, ScalingTakesTheNearestPixelWithoutBlending) {
    // 4 x 2 up to 8 x 6: each source pixel fills a 2 x 3 block.
    Thumbnail t = Render(Indexed(8), 8, 6);
    ASSERT_EQ(t.rgb.size(), 8u * 6u * 3u);
    for (int y = 0; y < 6; ++y) {
        for (int x = 0; x < 8; ++x) {
            EXPECT_EQ(At(t, x, y), Colour(x / 2 + 4 * (y / 3))) << x << "," << y;
        }
    }
    // Down to 2 x 1: every second column of the top row, no mixing.
    t = Render(Indexed(8), 2, 1);
    EXPECT_EQ(At(t, 0, 0), Colour(0));
    EXPECT_EQ(At(t, 1, 0), Colour(2));
}

TEST(Thumbnail, IndexPastTheColourTableIsBlack) {
    BitmapFields fields = Indexed(8);
    fields.clrUsed = 4;
    fields.colours.resize(4);
    const Thumbnail t = Render(fields, 4, 2);
    EXPECT_EQ(At(t, 3, 0), Colour(3));
    EXPECT_EQ(At(t, 0, 1), (Rgb{0, 0, 0}));
}

TEST(Thumbnail, WhatCannotBeDrawnIsBlank) {
    EXPECT_TRUE(Blank(RenderThumbnail(CDib())));
    EXPECT_EQ(RenderThumbnail(CDib()).rgb.size(), 32u * 64u * 3u);

    BitmapFields fields;
    fields.width = 2;
    fields.height = 2;
    fields.bitCount = 24;
    fields.colours = {};
    fields.bits.assign(16, 0xFF);
    ASSERT_FALSE(Blank(Render(fields, 2, 2)));
    for (const uint32_t compression : {1u, 3u, 4u}) {
        fields.compression = compression;
        EXPECT_TRUE(Blank(Render(fields, 2, 2))) << compression;
    }
    fields.compression = 0;
    fields.bitCount = 2;
    EXPECT_TRUE(Blank(Render(fields, 2, 2)));
    fields.bitCount = 8;
    fields.compression = 2;  // RLE4 on an 8-bit picture
    EXPECT_TRUE(Blank(Render(fields, 2, 2)));
    fields.compression = 0;
    fields.width = -2;
    EXPECT_TRUE(Blank(Render(fields, 2, 2)));

    const Thumbnail none = Render(Indexed(8), 0, 5);
    EXPECT_EQ(none.width, 0);
    EXPECT_TRUE(none.rgb.empty());
}

TEST(Thumbnail, DamagedFilesAreDrawnOrLeftBlankWithinBounds) {
    BitmapFields rle = Indexed(8);
    rle.compression = 1;
    rle.bits = {0, 4, 4, 5, 6, 7, 0, 0, 2, 3, 0, 1};
    BitmapFields truth;
    truth.width = 3;
    truth.height = -5;
    truth.bitCount = 24;
    truth.bits.assign(12 * 5, 0x40);
    const std::vector<std::vector<uint8_t>> originals = {
        test::BuildBitmap(Indexed(1)), test::BuildBitmap(Indexed(4)),
        test::BuildBitmap(test::FaceBitmapFields()), test::BuildBitmap(rle),
        test::BuildBitmap(truth)};
    for (uint32_t seed = 0; seed < 3000; ++seed) {
        const std::vector<uint8_t> file = test::Damage(originals[seed % originals.size()], seed);
        CDib dib;
        if (dib.Read(file) == 0) {
            ASSERT_TRUE(dib.Empty());
            continue;
        }
        ASSERT_EQ(dib.Bits().size() + dib.Info().size() + 14 - 1024, file.size());
        const Thumbnail t = RenderThumbnail(dib, 7, 9);
        ASSERT_EQ(t.rgb.size(), 7u * 9u * 3u);
    }
}

}  // namespace
}  // namespace morvane
