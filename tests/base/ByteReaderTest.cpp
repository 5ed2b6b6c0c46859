#include <gtest/gtest.h>

#include <cstdint>

#include "base/ByteReader.h"

using Vorlaq::ByteReader;

TEST(ByteReader, ReadsLittleEndianInsideTheBuffer) {
    const uint8_t bytes[] = {0x46, 0x49, 0x4C, 0x45, 0x30, 0x00, 0x03, 0x00, 0xFF};
    ByteReader r(bytes, sizeof bytes);
    EXPECT_EQ(*r.U32(0), 0x454C4946u);
    EXPECT_EQ(*r.U16(4), 0x30u);
    EXPECT_EQ(*r.U8(8), 0xFFu);
    EXPECT_EQ(*r.Get<int8_t>(8), -1);
    EXPECT_EQ(*r.U64(1), 0xFF00030030454C49ull);
}

TEST(ByteReader, OutOfRangeFailsInsteadOfReadingZero) {
    const uint8_t bytes[] = {1, 2, 3, 4};
    ByteReader r(bytes, sizeof bytes);
    EXPECT_FALSE(r.U32(1).has_value());
    EXPECT_FALSE(r.U8(4).has_value());
    EXPECT_FALSE(r.U16(SIZE_MAX).has_value());  // offset + width must not wrap around
    EXPECT_FALSE(r.Sub(2, 3).has_value());
    EXPECT_FALSE(r.Sub(SIZE_MAX, 2).has_value());
    ASSERT_TRUE(r.Sub(1, 3).has_value());
    EXPECT_EQ(*r.Sub(1, 3)->U16(1), 0x0403);
    EXPECT_FALSE(r.Sub(1, 3)->U16(2).has_value());
    uint8_t out[4];
    EXPECT_FALSE(r.CopyTo(1, out, 4));
    EXPECT_TRUE(r.CopyTo(0, out, 4));
    EXPECT_FALSE(ByteReader(nullptr, 10).U8(0).has_value());
}
