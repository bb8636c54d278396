// The byte reader of the library's files: little-endian numbers, and never a byte past the end.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "base/ByteIO.h"

using kavrel::CByteReader;

TEST(ByteReader, ReadsLittleEndianNumbersInTurn) {
    const std::vector<uint8_t> bytes = {0x34, 0x12, 0x78, 0x56, 0x34, 0x12, 'a', 'b', 0xFF, 0xFF};
    CByteReader reader(bytes);
    EXPECT_EQ(reader.LE16(), 0x1234);
    EXPECT_EQ(reader.LE32(), 0x12345678u);
    char text[2] = {};
    reader.Bytes(text, 2);
    EXPECT_EQ(text[0], 'a');
    EXPECT_EQ(text[1], 'b');
    EXPECT_EQ(static_cast<int16_t>(reader.LE16()), -1);
    EXPECT_FALSE(reader.RanOut());
    EXPECT_EQ(reader.Remaining(), 0u);
}

// A read past the end gives 0, takes nothing, and every later read fails too, even one that
// would fit in what is left: a header that ran out is never read on from the wrong place.
TEST(ByteReader, RunningOutIsReportedAndSticks) {
    const std::vector<uint8_t> bytes = {1, 2, 3};
    CByteReader reader(bytes);
    EXPECT_EQ(reader.LE32(), 0u);
    EXPECT_TRUE(reader.RanOut());
    EXPECT_EQ(reader.Position(), 0u);
    EXPECT_EQ(reader.LE16(), 0u);
    uint8_t kept[2] = {9, 9};
    reader.Bytes(kept, 2);
    EXPECT_EQ(kept[0], 9);
    EXPECT_EQ(kept[1], 9);
    EXPECT_TRUE(reader.RanOut());

    CByteReader empty(std::span<const uint8_t>{});
    empty.Skip(0);
    EXPECT_FALSE(empty.RanOut());
    empty.Skip(1);
    EXPECT_TRUE(empty.RanOut());
}
