#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "image/Frame.h"
#include "output/FramePacking.h"
#include "support/Planes.h"

namespace {

// s(r, c) of the small test frames: distinct, non-zero, and using all twelve bits.
uint16_t S(int r, int c) { return static_cast<uint16_t>(0x111 * (1 + 4 * r + c)); }

void MakeFrame(CFrame& frame, int32_t cols, int32_t rows) {
    testing_support::Paint(frame, cols, rows, [](int32_t c, int32_t r) { return S(r, c); });
}

std::vector<uint8_t> Packed(const CFrame& frame) {
    std::vector<uint8_t> out(kavrel::PackedFrameBytes(frame), 0xEE);
    kavrel::PackFrame(frame, out.data());
    return out;
}

// The packed buffer that shows sample s(r, c) at each place, {-1, -1} for no sample (black).
struct Cell {
    int r;
    int c;
};
constexpr Cell kNone{-1, -1};

std::vector<uint8_t> Buffer(const std::vector<Cell>& cells) {
    std::vector<uint8_t> out;
    for (Cell cell : cells) {
        uint8_t pixel[3] = {0, 0, 0};
        if (cell.r >= 0) kavrel::PackSample(S(cell.r, cell.c), pixel);
        out.insert(out.end(), pixel, pixel + 3);
    }
    return out;
}

}  // namespace

TEST(FramePacking, SampleBitsGoToTheHighHalvesOfTheThreeBytes) {
    struct Case {
        uint16_t sample;
        uint8_t blue, green, red;
    };
    const Case cases[] = {
        {0x0ABC, 0xB0, 0xA0, 0xC0}, {4095, 0xF0, 0xF0, 0xF0}, {0, 0, 0, 0},
        {256, 0, 0x10, 0},          {15, 0, 0, 0xF0},         {0xFABC, 0xB0, 0xA0, 0xC0},
    };
    for (const Case& k : cases) {
        uint8_t pixel[3];
        kavrel::PackSample(k.sample, pixel);
        EXPECT_EQ(pixel[0], k.blue) << k.sample;
        EXPECT_EQ(pixel[1], k.green) << k.sample;
        EXPECT_EQ(pixel[2], k.red) << k.sample;
    }
}

TEST(FramePacking, DelayLineShowsOneColumnParityOneRowLater) {
    const std::vector<Cell> straight = {{0, 0}, {0, 1}, {0, 2}, {0, 3}, {1, 0}, {1, 1},
                                        {1, 2}, {1, 3}, {2, 0}, {2, 1}, {2, 2}, {2, 3}};
    const std::vector<Cell> oddDelayed = {{0, 0}, {1, 1}, {0, 2}, {1, 3}, {1, 0}, {2, 1},
                                          {1, 2}, {2, 3}, {2, 0}, kNone,  {2, 2}, kNone};
    const std::vector<Cell> evenDelayed = {{1, 0}, {0, 1}, {1, 2}, {0, 3}, {2, 0}, {1, 1},
                                           {2, 2}, {1, 3}, kNone,  {2, 1}, kNone,  {2, 3}};
    struct Case {
        int32_t mode, shift;
        const std::vector<Cell>& expected;
    };
    const Case cases[] = {
        {0, 0, straight},   {0, 1, straight},    {1, 0, oddDelayed},    {1, 1, evenDelayed},
        {5, 0, oddDelayed}, {5, 2, evenDelayed}, {-1, -7, evenDelayed},
    };
    for (const Case& k : cases) {
        CFrame frame;
        MakeFrame(frame, 4, 3);
        frame.SetDelayLine(k.mode);
        frame.SetDelayShift(k.shift);
        EXPECT_EQ(Packed(frame), Buffer(k.expected)) << k.mode << " " << k.shift;
    }
}

TEST(FramePacking, SingleRowInDelayLineModeKeepsOnlyItsStraightColumns) {
    CFrame frame;
    MakeFrame(frame, 8, 1);
    frame.SetDelayLine(1);
    EXPECT_EQ(Packed(frame), Buffer({{0, 0}, kNone, {0, 2}, kNone, {0, 4}, kNone, {0, 6}, kNone}));
    frame.SetDelayShift(1);
    EXPECT_EQ(Packed(frame), Buffer({kNone, {0, 1}, kNone, {0, 3}, kNone, {0, 5}, kNone, {0, 7}}));
}

TEST(FramePacking, OnlyFramesWithSamplesAndRowsOfWholeWordsArePacked) {
    CFrame frame;
    EXPECT_FALSE(kavrel::CanPackFrame(frame));
    frame.Fill(7);
    EXPECT_TRUE(kavrel::CanPackFrame(frame));
    EXPECT_EQ(kavrel::PackedFrameBytes(frame), 3932160u);
    for (int32_t cols : {1282, 6, 2, 1}) {
        CFrame odd;
        MakeFrame(odd, cols, 2);
        EXPECT_FALSE(kavrel::CanPackFrame(odd)) << cols;
    }
    // A size that does not match the samples held is never read past their end.
    CFrame inconsistent;
    MakeFrame(inconsistent, 4, 2);
    inconsistent.m_nRows = 3;
    EXPECT_FALSE(kavrel::CanPackFrame(inconsistent));
}
