#include "common/byte_cursor.h"

#include <gtest/gtest.h>

#include <limits>

namespace morvane {
namespace {

TEST(ByteCursor, ReadsBothByteOrders) {
    const uint8_t bytes[] = {0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC};
    ByteCursor cursor(bytes);
    EXPECT_EQ(cursor.LE16(), 0x3412);
    EXPECT_EQ(cursor.BE32(), 0x56789ABCu);
    EXPECT_TRUE(cursor.ok());
    EXPECT_EQ(cursor.Remaining(), 0u);
}

TEST(ByteCursor, AReadPastTheEndFailsAndStaysFailed) {
    const uint8_t bytes[] = {1, 2, 3};
    ByteCursor cursor(bytes);
    EXPECT_EQ(cursor.LE32(), 0u);
    EXPECT_FALSE(cursor.ok());
    EXPECT_EQ(cursor.Position(), 0u);
    // Even a read that would fit now fails: the structure is already broken.
    EXPECT_EQ(cursor.U8(), 0u);
    EXPECT_TRUE(cursor.Bytes(1).empty());
}

TEST(ByteCursor, HugeLengthsDoNotWrapAround) {
    const uint8_t bytes[] = {1, 2, 3, 4};
    ByteCursor cursor(bytes);
    cursor.U8();
    EXPECT_FALSE(cursor.Skip(std::numeric_limits<size_t>::max()));
    ByteCursor other(bytes);
    other.U8();
    EXPECT_TRUE(other.Bytes(std::numeric_limits<size_t>::max()).empty());
    EXPECT_FALSE(other.ok());
}

TEST(SizeArithmetic, RefusesWhatWouldOverflow) {
    constexpr size_t max = std::numeric_limits<size_t>::max();
    EXPECT_TRUE(AddFits(3, 4, 7));
    EXPECT_FALSE(AddFits(3, 5, 7));
    EXPECT_FALSE(AddFits(max, 1, max));
    EXPECT_TRUE(MultiplyFits(0, max, 10));
    EXPECT_FALSE(MultiplyFits(max / 2 + 1, 2, max));
    EXPECT_TRUE(MultiplyFits(32, 64, 2048));
    EXPECT_FALSE(MultiplyFits(32, 65, 2048));
}

TEST(ReverseWordBytes, ReversesEachWordAndIsItsOwnInverse) {
    std::vector<uint8_t> bytes(4 * 37);
    for (size_t i = 0; i < bytes.size(); ++i) {
        bytes[i] = static_cast<uint8_t>(i * 7 + 1);
    }
    std::vector<uint8_t> swapped(bytes.size());
    ReverseWordBytes(bytes.data(), swapped.data(), 37);
    for (size_t i = 0; i < bytes.size(); ++i) {
        ASSERT_EQ(swapped[i], bytes[i ^ 3]) << i;
    }
    ReverseWordBytes(swapped.data(), swapped.data(), 37);
    EXPECT_EQ(swapped, bytes);
}

}  // namespace
}  // namespace morvane
