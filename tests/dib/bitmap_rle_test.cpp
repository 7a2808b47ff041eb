#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "dib/bitmap_file.h"

namespace morvane {
namespace {

std::vector<uint8_t> Decode(const std::vector<uint8_t>& data, uint16_t bitCount, uint32_t width,
                            uint32_t height) {
    std::vector<uint8_t> out;
    EXPECT_TRUE(DecodeRunLength(data, bitCount, width, height, out));
    EXPECT_EQ(out.size(), size_t{width} * height);
    return out;
}

TEST(RunLength, Rle8RunsAbsoluteEndOfLineAndDelta) {
    const std::vector<uint8_t> data = {
        2, 9, 0, 3, 1, 2, 3, 0, 0, 0,  // row 0: 9 9 1 2 3, end of line
        0, 2, 1, 1,                    // delta to column 1 of row 2
        0, 4, 4, 5, 6, 7,              // absolute of even length: no pad
        0, 1,                          // end of bitmap
    };
    const std::vector<uint8_t> expected = {9, 9, 1, 2, 3, 0,  //
                                           0, 0, 0, 0, 0, 0,  //
                                           0, 4, 5, 6, 7, 0};
    EXPECT_EQ(Decode(data, 8, 6, 3), expected);
}

TEST(RunLength, Rle4AlternatesNibbles) {
    // Three pixels of absolute data take two bytes, already a whole word, so
    // no pad byte follows them.
    const std::vector<uint8_t> data = {5, 0x12, 0, 0, 0, 3, 0xAB, 0xC0, 0, 1};
    const std::vector<uint8_t> expected = {1,  2,  1,  2, 1, 0,  //
                                           10, 11, 12, 0, 0, 0};
    EXPECT_EQ(Decode(data, 4, 6, 2), expected);
}

TEST(RunLength, Rle4AbsoluteOfFivePixelsIsPaddedToFourBytes) {
    const std::vector<uint8_t> data = {0, 5, 0x12, 0x34, 0x50, 0xFF, 1, 0x70, 0, 1};
    const std::vector<uint8_t> expected = {1, 2, 3, 4, 5, 7, 0, 0};
    EXPECT_EQ(Decode(data, 4, 8, 1), expected);
}

TEST(RunLength, RunsPastTheRowAreClipped) {
    const std::vector<uint8_t> data = {255, 3, 0, 0, 255, 4, 0, 1};
    const std::vector<uint8_t> expected = {3, 3, 3, 3, 4, 4, 4, 4};
    EXPECT_EQ(Decode(data, 8, 4, 2), expected);
}

TEST(RunLength, AbsoluteRunPastTheRowWritesNothingBeyondIt) {
    const std::vector<uint8_t> data = {0, 6, 1, 2, 3, 4, 5, 6, 0, 0, 1, 8};
    const std::vector<uint8_t> expected = {1, 2, 3, 4, 8, 0, 0, 0};
    EXPECT_EQ(Decode(data, 8, 4, 2), expected);
}

TEST(RunLength, UnsetPixelsStayZeroAndDataMayEndAnywhere) {
    EXPECT_EQ(Decode({}, 8, 3, 2), std::vector<uint8_t>(6, 0));
    EXPECT_EQ(Decode({2, 5, 0}, 8, 3, 1), (std::vector<uint8_t>{5, 5, 0}));
    // An absolute run cut short keeps the pixels that are there.
    EXPECT_EQ(Decode({0, 5, 1, 2}, 8, 5, 1), (std::vector<uint8_t>{1, 2, 0, 0, 0}));
    // A delta cut short.
    EXPECT_EQ(Decode({1, 1, 0, 2, 5}, 8, 3, 1), (std::vector<uint8_t>{1, 0, 0}));
}

TEST(RunLength, DeltasAndLinesPastTheBottomStop) {
    const std::vector<uint8_t> data = {0, 2, 0, 200, 1, 9, 0, 0, 0, 0, 0, 0, 3, 9};
    EXPECT_EQ(Decode(data, 8, 2, 2), std::vector<uint8_t>(4, 0));
}

TEST(RunLength, RefusesOtherDepthsAndHugePictures) {
    std::vector<uint8_t> out = {1};
    EXPECT_FALSE(DecodeRunLength({}, 1, 4, 4, out));
    EXPECT_FALSE(DecodeRunLength({}, 8, 1u << 20, 1, out));
    EXPECT_FALSE(DecodeRunLength({}, 8, 30000, 30000, out));
    EXPECT_EQ(out, std::vector<uint8_t>{1});
}

TEST(RunLength, RandomBytesNeverReachOutside) {
    std::mt19937 random(1234);
    for (int round = 0; round < 2000; ++round) {
        std::vector<uint8_t> data(random() % 200);
        for (uint8_t& b : data) {
            // Bias towards escapes so that every kind of pair turns up.
            b = static_cast<uint8_t>(random() % 3 == 0 ? random() % 4 : random());
        }
        const uint32_t width = random() % 40;
        const uint32_t height = random() % 40;
        std::vector<uint8_t> out;
        ASSERT_TRUE(DecodeRunLength(data, round % 2 ? 8 : 4, width, height, out));
        ASSERT_EQ(out.size(), size_t{width} * height);
        if (round % 2 == 0) {
            for (const uint8_t index : out) {
                ASSERT_LT(index, 16);
            }
        }
    }
}

}  // namespace
}  // namespace morvane
