// Reducing pictures to a texture's palette: exactly when the five-bit colours
// fit, through the quantiser otherwise, and fitting indexed pictures into the
// colours that a texture declares.

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <vector>

#include "texture/colour_reduction.h"

namespace morvane {
namespace {

constexpr uint32_t kWidth = 32;
constexpr uint32_t kHeight = 64;
constexpr size_t kPixels = kWidth * kHeight;

uint16_t CutOf(const std::vector<uint8_t>& rgb, size_t i) {
    return PackRgb5551(rgb[3 * i], rgb[3 * i + 1], rgb[3 * i + 2]);
}

// `colours` distinct five-bit colours, each pixel's low three bits varied so
// that the 8-bit picture has many more colours than that.
std::vector<uint8_t> FewFiveBitColours(size_t colours) {
    std::vector<uint8_t> rgb(3 * kPixels);
    for (size_t i = 0; i < kPixels; ++i) {
        const size_t c = (i * 11) % colours;
        rgb[3 * i] = static_cast<uint8_t>(((c % 32) << 3) | (i % 8));
        rgb[3 * i + 1] = static_cast<uint8_t>(((c / 32) << 3) | ((i / 8) % 8));
        rgb[3 * i + 2] = static_cast<uint8_t>((((c * 7) % 32) << 3) | ((i / 64) % 8));
    }
    return rgb;
}

// A smooth picture with noise: thousands of colours, like a photograph.
std::vector<uint8_t> ManyColours(uint32_t seed = 1) {
    std::vector<uint8_t> rgb(3 * kPixels);
    uint32_t state = seed;
    for (size_t i = 0; i < kPixels; ++i) {
        const size_t x = i % kWidth;
        const size_t y = i / kWidth;
        for (size_t c = 0; c < 3; ++c) {
            state = state * 1664525u + 1013904223u;
            const int noise = static_cast<int>(state >> 28) - 8;
            const int base = static_cast<int>(c == 0 ? x * 7 : c == 1 ? y * 3 : (x + y) * 2);
            rgb[3 * i + c] = static_cast<uint8_t>(std::clamp(base + 20 + noise, 0, 255));
        }
    }
    return rgb;
}

size_t DistinctCuts(const std::vector<uint8_t>& rgb) {
    std::set<uint16_t> cuts;
    for (size_t i = 0; i < rgb.size() / 3; ++i) {
        cuts.insert(CutOf(rgb, i));
    }
    return cuts.size();
}

// Every texel shows exactly its pixel's five-bit colour.
void ExpectExact(const std::vector<uint8_t>& rgb, const IndexedTexels& out) {
    ASSERT_EQ(out.texels.size(), rgb.size() / 3);
    for (size_t i = 0; i < out.texels.size(); ++i) {
        ASSERT_LT(out.texels[i], out.palette.size()) << i;
        ASSERT_EQ(out.palette[out.texels[i]], CutOf(rgb, i)) << i;
    }
}

TEST(ReduceExactly, ColoursThatDifferOnlyInTheLowBitsAreOne) {
    const std::vector<uint8_t> rgb = FewFiveBitColours(200);
    ASSERT_EQ(DistinctCuts(rgb), 200u);
    IndexedTexels out;
    ASSERT_TRUE(ReduceExactly(rgb, 256, out));
    EXPECT_EQ(out.palette.size(), 200u);
    ExpectExact(rgb, out);
    // Entries in the order the colours first appear.
    EXPECT_EQ(out.texels[0], 0);
    EXPECT_EQ(out.palette[1], CutOf(rgb, 1));
}

TEST(ReduceExactly, MoreColoursThanAllowedLeaveTheOutputAlone) {
    const std::vector<uint8_t> rgb = FewFiveBitColours(17);
    IndexedTexels out;
    out.palette = {1, 2, 3};
    EXPECT_FALSE(ReduceExactly(rgb, 16, out));
    EXPECT_EQ(out.palette, (std::vector<uint16_t>{1, 2, 3}));
    EXPECT_TRUE(out.texels.empty());
    EXPECT_TRUE(ReduceExactly(rgb, 17, out));
    ExpectExact(rgb, out);
}

TEST(ReduceColours, APictureThatFitsIsReducedExactly) {
    for (const size_t colours : {1u, 2u, 16u, 255u, 256u}) {
        const std::vector<uint8_t> rgb = FewFiveBitColours(colours);
        IndexedTexels out;
        ASSERT_EQ(ReduceColours(rgb, kWidth, kHeight, {colours, false}, out), Error::None);
        EXPECT_EQ(out.palette.size(), colours);
        ExpectExact(rgb, out);
    }
}

TEST(ReduceColours, APictureThatDoesNotFitIsQuantised) {
    const std::vector<uint8_t> rgb = ManyColours();
    ASSERT_GT(DistinctCuts(rgb), 256u);
    for (const size_t colours : {2u, 16u, 100u, 256u}) {
        IndexedTexels out;
        ASSERT_EQ(ReduceColours(rgb, kWidth, kHeight, {colours, false}, out), Error::None);
        ASSERT_EQ(out.texels.size(), kPixels);
        EXPECT_LE(out.palette.size(), colours);
        EXPECT_GE(out.palette.size(), 2u);
        EXPECT_TRUE(std::all_of(out.texels.begin(), out.texels.end(),
                                [&](uint8_t t) { return t < out.palette.size(); }));
        EXPECT_TRUE(std::all_of(out.palette.begin(), out.palette.end(),
                                [](uint16_t entry) { return (entry & 1) == 0; }));
    }
}

TEST(ReduceColours, QuantisingIsRepeatableAndDitheringIsAnOption) {
    const std::vector<uint8_t> rgb = ManyColours(5);
    IndexedTexels first;
    IndexedTexels second;
    IndexedTexels dithered;
    ASSERT_EQ(ReduceColours(rgb, kWidth, kHeight, {16, false}, first), Error::None);
    ASSERT_EQ(ReduceColours(rgb, kWidth, kHeight, {16, false}, second), Error::None);
    ASSERT_EQ(ReduceColours(rgb, kWidth, kHeight, {16, true}, dithered), Error::None);
    EXPECT_EQ(first.texels, second.texels);
    EXPECT_EQ(first.palette, second.palette);
    EXPECT_NE(first.texels, dithered.texels);
}

TEST(ReduceColours, OneColourIsTheMean) {
    std::vector<uint8_t> rgb(3 * kPixels);
    for (size_t i = 0; i < kPixels; ++i) {
        // Half the pixels (0, 80, 160), half (200, 120, 40): the mean is
        // (100, 100, 100).
        const bool half = i % 2 == 0;
        rgb[3 * i] = half ? 0 : 200;
        rgb[3 * i + 1] = half ? 80 : 120;
        rgb[3 * i + 2] = half ? 160 : 40;
    }
    IndexedTexels out;
    ASSERT_EQ(ReduceColours(rgb, kWidth, kHeight, {1, false}, out), Error::None);
    EXPECT_EQ(out.palette, (std::vector<uint16_t>{PackRgb5551(100, 100, 100)}));
    EXPECT_TRUE(
        std::all_of(out.texels.begin(), out.texels.end(), [](uint8_t t) { return t == 0; }));
}

TEST(ReduceColours, SizesThatDoNotMatchAreInvalid) {
    const std::vector<uint8_t> rgb = FewFiveBitColours(4);
    IndexedTexels out;
    EXPECT_EQ(ReduceColours(rgb, kWidth, kHeight - 1, {}, out), Error::Invalid);
    EXPECT_EQ(ReduceColours(rgb, 0, kHeight, {}, out), Error::Invalid);
    EXPECT_EQ(ReduceColours(rgb, kWidth, kHeight, {0, false}, out), Error::Invalid);
    EXPECT_EQ(ReduceColours(rgb, kWidth, kHeight, {257, false}, out), Error::Invalid);
    // Sizes whose product wraps around must not pass for the buffer's size.
    EXPECT_EQ(ReduceColours(rgb, 0x80000000u, 0x80000000u, {}, out), Error::Invalid);
    EXPECT_TRUE(out.texels.empty());
}

IndexedTexels Indexed(std::vector<uint8_t> texels, std::vector<uint16_t> palette) {
    IndexedTexels picture;
    picture.texels = std::move(texels);
    picture.palette = std::move(palette);
    return picture;
}

TEST(FitPalette, APictureThatFitsIsLeftAsItIs) {
    std::vector<uint16_t> palette(256);
    for (size_t k = 0; k < palette.size(); ++k) {
        palette[k] = static_cast<uint16_t>(k * 2 + 2);
    }
    IndexedTexels picture = Indexed({0, 15, 3, 15}, palette);
    ASSERT_TRUE(FitPalette(picture, 16));
    EXPECT_EQ(picture.texels, (std::vector<uint8_t>{0, 15, 3, 15}));
    EXPECT_EQ(picture.palette, palette);  // entries past 16 too: the game ignores them
}

TEST(FitPalette, UsedColoursMoveToTheFirstEntries) {
    std::vector<uint16_t> palette(256);
    for (size_t k = 0; k < palette.size(); ++k) {
        palette[k] = static_cast<uint16_t>(k * 2 + 2);
    }
    IndexedTexels picture = Indexed({200, 7, 255, 7, 16}, palette);
    ASSERT_TRUE(FitPalette(picture, 4));
    // In the order of the old indices: 7, 16, 200, 255.
    EXPECT_EQ(picture.texels, (std::vector<uint8_t>{2, 0, 3, 0, 1}));
    EXPECT_EQ(picture.palette, (std::vector<uint16_t>{16, 34, 402, 512}));
}

TEST(FitPalette, EqualColoursShareAnEntry) {
    // Entries 0, 40 and 90 hold the same colour, as do 5 and 60.
    std::vector<uint16_t> palette(100, 0x1234);
    palette[5] = palette[60] = 0x4444;
    palette[70] = 0x0002;
    IndexedTexels picture = Indexed({40, 90, 0, 60, 5, 70}, palette);
    ASSERT_TRUE(FitPalette(picture, 3));
    EXPECT_EQ(picture.texels, (std::vector<uint8_t>{0, 0, 0, 1, 1, 2}));
    EXPECT_EQ(picture.palette, (std::vector<uint16_t>{0x1234, 0x4444, 0x0002}));
}

TEST(FitPalette, TooManyColoursLeaveThePictureAlone) {
    std::vector<uint16_t> palette(256);
    for (size_t k = 0; k < palette.size(); ++k) {
        palette[k] = static_cast<uint16_t>(k * 2);
    }
    std::vector<uint8_t> texels;
    for (int k = 0; k < 17; ++k) {
        texels.push_back(static_cast<uint8_t>(k * 15));
    }
    IndexedTexels picture = Indexed(texels, palette);
    EXPECT_FALSE(FitPalette(picture, 16));
    EXPECT_EQ(picture.texels, texels);
    EXPECT_EQ(picture.palette, palette);
    EXPECT_TRUE(FitPalette(picture, 17));
}

TEST(FitPalette, TexelsPastThePaletteAreBlack) {
    IndexedTexels picture = Indexed({0, 9, 1, 200}, {0x0000, 0xFFFE});
    ASSERT_TRUE(FitPalette(picture, 2));
    EXPECT_EQ(picture.texels, (std::vector<uint8_t>{0, 0, 1, 0}));
    EXPECT_EQ(picture.palette, (std::vector<uint16_t>{0x0000, 0xFFFE}));
}

}  // namespace
}  // namespace morvane
