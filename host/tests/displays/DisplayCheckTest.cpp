// What check-display tells from a screen that differs from the expected picture.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "displays/DisplayCheck.h"
#include "pictures/Targets.h"
#include "support/Text.h"

namespace {

using host::CTestFrame;
using testing_support::Contains;

std::string Joined(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) text += line + "\n";
    return text;
}

const CTestFrame& Scattered() {
    static const std::vector<CTestFrame> frames = host::TestFrames();
    return frames[1];
}

std::vector<std::string> Describe(const std::vector<uint8_t>& shown) {
    return host::DescribeDifference(host::Compare(host::ExpectedPicture(Scattered()), shown,
                                                  host::kDisplayWidth, host::kDisplayHeight));
}

}  // namespace

TEST(DisplayCheck, TheTestFramesCarryEveryLevelAndEveryPackedBit) {
    for (const CTestFrame& frame : host::TestFrames()) {
        if (frame.blank) continue;
        std::vector<int> seen(4096, 0);
        for (int16_t level : frame.levels) ++seen[level & 0xFFF];
        for (int level = 0; level < 4096; ++level)
            ASSERT_EQ(seen[level], 320) << frame.what << ", level " << level;
    }
}

TEST(DisplayCheck, NamesTheChangedBitsAndWhatTheyHint) {
    const std::vector<uint8_t> expected = host::ExpectedPicture(Scattered());
    EXPECT_TRUE(Describe(expected).empty());

    // Dithering: the lowest bit of a nibble flips in scattered pixels.
    std::vector<uint8_t> dithered = expected;
    for (size_t i = 0; i < dithered.size(); i += 3 * 97) dithered[i + i % 3] ^= 0x10;
    std::string text = Joined(Describe(dithered));
    EXPECT_TRUE(Contains(text, "the lowest bit of every nibble changes: dithering?")) << text;
    EXPECT_TRUE(Contains(text, "bit 4 (level bit 4)")) << text;

    // A colour profile that lifts the low halves of the bytes.
    std::vector<uint8_t> profiled = expected;
    for (uint8_t& byte : profiled) byte |= 0x03;
    text = Joined(Describe(profiled));
    EXPECT_TRUE(Contains(text, "only the low halves of the bytes")) << text;
    EXPECT_TRUE(Contains(text, "1310720 of 1310720 pixels differ, within x 0..1279, y 0..1023"))
        << text;

    // A desktop moved by one pixel.
    std::vector<uint8_t> moved(expected.size(), 0);
    std::copy(expected.begin(), expected.end() - 3, moved.begin() + 3);
    text = Joined(Describe(moved));
    EXPECT_TRUE(Contains(text, "nearly the whole picture differs")) << text;

    // One wrong pixel: which bits of which colour, and where.
    std::vector<uint8_t> spot = expected;
    const size_t at = 3 * (static_cast<size_t>(100) * host::kDisplayWidth + 200);
    spot[at + 1] ^= 0x80;
    text = Joined(Describe(spot));
    EXPECT_TRUE(Contains(text, "1 of 1310720 pixels differ, within x 200..200, y 100..100"))
        << text;
    EXPECT_TRUE(Contains(text, "green changes: bit 7 (level bit 11) in 1 pixels")) << text;
}

TEST(DisplayCheck, ModesThatChangeThePackedValues) {
    host::CScreenMode mode;
    mode.width = 1280;
    mode.height = 1024;
    mode.depth = 24;
    mode.eightBitColours = true;
    EXPECT_EQ(host::ModeProblem(mode), "");
    mode.depth = 32;
    EXPECT_EQ(host::ModeProblem(mode), "");
    mode.depth = 16;
    mode.eightBitColours = false;
    EXPECT_TRUE(Contains(host::ModeProblem(mode), "16-bit colour"));
    mode.depth = 24;
    mode.width = 1024;
    mode.eightBitColours = true;
    EXPECT_TRUE(Contains(host::ModeProblem(mode), "1024 x 1024 pixels, smaller"));
}
