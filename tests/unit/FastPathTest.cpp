// The wide and blocked loops of the frame operations against their element-by-element
// definitions, on random planes of many sizes.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <memory>
#include <random>
#include <vector>

#include "calibration/ColumnShift.h"
#include "image/BitmapImage.h"
#include "image/Frame.h"
#include "image/Lut.h"
#include "support/Planes.h"
#include "support/ScanPicture.h"
#include "support/TestFiles.h"
#include "output/FramePacking.h"

using testing_support::Samples;

namespace {

class CRandom {
public:
    explicit CRandom(unsigned seed) : m_Engine(seed) {}
    virtual ~CRandom() = default;
    int32_t Next(int32_t low, int32_t high) {
        return std::uniform_int_distribution<int32_t>(low, high)(m_Engine);
    }

private:
    std::mt19937 m_Engine;
};

void RandomPlane(CFrame& plane, int32_t cols, int32_t rows, CRandom& random) {
    testing_support::PaintSamples(plane, cols, rows, [&](int32_t) { return random.Next(0, 65535); });
}

}  // namespace

// Pixel (r, c) of the buffer by the definition: sample (r, c), or with the delay-line mode the
// delayed columns from row r + 1 and black in the last row.
TEST(FastPaths, PackingEqualsThePixelByPixelDefinition) {
    CRandom random(2024);
    for (int round = 0; round < 360; ++round) {
        kavrel::LimitByteShuffles(round % 3);
        CFrame frame;
        RandomPlane(frame, 4 * random.Next(1, 40), random.Next(1, 6), random);
        frame.SetDelayLine(random.Next(0, 1));
        frame.SetDelayShift(random.Next(0, 1));
        const int32_t cols = frame.m_nCols;
        std::vector<uint8_t> expected(kavrel::PackedFrameBytes(frame), 0);
        for (int32_t r = 0; r < frame.m_nRows; ++r) {
            for (int32_t c = 0; c < cols; ++c) {
                const bool delayed = frame.m_nDelayLine != 0 && c % 2 != (frame.m_nDelayShift != 0 ? 1 : 0);
                const int32_t from = delayed ? r + 1 : r;
                if (from < frame.m_nRows)
                    kavrel::PackSample(frame.m_pData[from * cols + c], &expected[3 * (r * cols + c)]);
            }
        }
        std::vector<uint8_t> packed(expected.size(), 0xEE);
        kavrel::PackFrame(frame, packed.data());
        EXPECT_EQ(packed, expected) << "round " << round << ", " << cols << " x " << frame.m_nRows;
    }
    kavrel::LimitByteShuffles(2);
}

TEST(FastPaths, QuarterTurnEqualsTheSampleBySampleDefinition) {
    CRandom random(77);
    const int32_t sizes[][2] = {{1, 1}, {1, 70}, {70, 1}, {31, 33}, {32, 32}, {33, 95}, {100, 67}, {129, 3}};
    for (const auto& size : sizes) {
        CFrame plane;
        RandomPlane(plane, size[0], size[1], random);
        const std::vector<uint16_t> before = Samples(plane);
        plane.Rotate90();
        ASSERT_EQ(plane.m_nCols, size[1]);
        ASSERT_EQ(plane.m_nRows, size[0]);
        const int32_t width = size[0], height = size[1];
        for (int32_t y = 0; y < height; ++y)
            for (int32_t x = 0; x < width; ++x)
                ASSERT_EQ(plane.m_pData[x * height + (height - 1 - y)], before[y * width + x])
                    << width << " x " << height << " at " << x << ", " << y;
    }
}

// One pass over the scan against its three steps, on bitmaps with and without row padding, sizes
// on both sides of the 8 x 8 blocks and 64 x 64 tiles, and tables that apply to all bytes, to some
// or to none.
TEST(FastPaths, TurnedChannelEqualsLoadChannelThenTableThenQuarterTurn) {
    CRandom random(404);
    testing_support::TempDir folder;
    for (int round = 0; round < 60; ++round) {
        const int32_t width = round < 4 ? 1 + 69 * (round % 2) : random.Next(1, 150);
        const int32_t height = round < 4 ? 1 + 69 * (round / 2) : random.Next(1, 90);
        std::vector<uint8_t> pixels(static_cast<size_t>(CBitmapImage::RowStride(width)) * height);
        for (uint8_t& b : pixels) b = static_cast<uint8_t>(random.Next(0, 255));
        CBitmapImage image;
        image.Attach(width, height, pixels.data());

        CLut table;
        const int32_t kind = random.Next(0, 3);
        if (kind > 0) {
            table.MakeLinear(random.Next(1, 4000));
            if (kind == 2) table.m_nCount = random.Next(1, 256);
            if (kind == 3) table.m_nFirstInput = -1;
        }
        const int32_t byte = random.Next(0, 2);
        CFrame stepwise, onePass;
        ASSERT_EQ(stepwise.LoadChannel(image, byte), 0);
        table.Apply(stepwise);
        stepwise.Rotate90();
        if (round % 2 == 0) onePass.Fill(1);  // a buffer to replace or reuse
        ASSERT_EQ(onePass.LoadTurnedChannel(image, byte, table), 0);
        ASSERT_EQ(onePass.m_nCols, stepwise.m_nCols);
        ASSERT_EQ(onePass.m_nRows, stepwise.m_nRows);
        EXPECT_EQ(Samples(onePass), Samples(stepwise)) << "round " << round << ", " << width << " x " << height;

        // The same read from the file a few rows at a time; one byte short of the pixels is
        // refused as the whole read refuses it.
        std::vector<uint8_t> file = testing_support::BitmapFile(width, height, pixels);
        testing_support::WriteBytes(folder.Path("scan.bmp"), file);
        CFrame read;
        ASSERT_EQ(read.ReadTurnedChannel(folder.Path("scan.bmp"), byte, table), 0);
        EXPECT_EQ(Samples(read), Samples(stepwise)) << "round " << round;
        file.pop_back();
        testing_support::WriteBytes(folder.Path("scan.bmp"), file);
        EXPECT_NE(read.ReadTurnedChannel(folder.Path("scan.bmp"), byte, table), 0);
    }
}

// Shifts in runs, scattered, zero, of the whole height and beyond, and the extremes.
TEST(FastPaths, ColumnShiftsAlongTheRowsEqualShiftColumn) {
    CRandom random(31);
    for (int round = 0; round < 80; ++round) {
        const int32_t cols = random.Next(1, 60), rows = random.Next(1, 40);
        const int32_t kind = random.Next(0, 3);
        std::vector<int32_t> shifts(static_cast<size_t>(cols));
        int32_t shift = random.Next(-rows - 2, rows + 2);
        for (int32_t& s : shifts) {
            if (kind == 0 || random.Next(0, 6) == 0) shift = random.Next(-rows - 2, rows + 2);
            if (kind == 3 && random.Next(0, 9) == 0) shift = random.Next(0, 1) != 0 ? INT32_MIN : INT32_MAX;
            s = kind == 2 ? shift / 4 : shift;
        }
        CFrame expected, rowWise;
        RandomPlane(expected, cols, rows, random);
        testing_support::CopyPlane(expected, rowWise);

        for (int32_t x = 0; x < cols; ++x) expected.ShiftColumn(x, shifts[static_cast<size_t>(x)]);
        kavrel::ShiftColumns(rowWise, [&](int32_t x) { return shifts[static_cast<size_t>(x)]; });
        EXPECT_EQ(Samples(rowWise), Samples(expected)) << "round " << round;
    }
}

// Block k of a resampling along one direction: positions origin + k * span / count up to the next.
int64_t BlockStart(int64_t origin, int64_t span, int64_t count, int64_t k) {
    return origin + k * span / count;
}

// Resample by its definition: each destination sample the mean of its block read through GetPixel
// (signed, 0 outside the plane), an empty block repeating the value before it; the samples before
// the first block that holds any take the first measured block below them in their column, or the
// first measured block of the call where their column has none.
TEST(FastPaths, ResampleEqualsTheBlockMeansReadThroughGetPixel) {
    CRandom random(5);
    for (int round = 0; round < 300; ++round) {
        CFrame source, fast, expected;
        RandomPlane(source, random.Next(1, 30), random.Next(1, 30), random);
        RandomPlane(fast, random.Next(1, 12), random.Next(1, 12), random);
        testing_support::CopyPlane(fast, expected);

        const int32_t x0 = random.Next(-6, source.m_nCols + 2), y0 = random.Next(-6, source.m_nRows + 2);
        const int32_t x1 = x0 + random.Next(-2, 40), y1 = y0 + random.Next(-2, 40);
        const int32_t X0 = random.Next(-2, fast.m_nCols), Y0 = random.Next(-2, fast.m_nRows);
        const int32_t X1 = X0 + random.Next(-1, 14), Y1 = Y0 + random.Next(-1, 14);
        fast.Resample(x0, y0, x1, y1, X0, Y0, X1, Y1, source);

        const int64_t width = X1 - X0, height = Y1 - Y0;
        if (width > 0 && height > 0) {
            auto mean = [&](int64_t i, int64_t j, bool& empty) {
                const int64_t xa = BlockStart(x0, x1 - x0 - 1, width, j);
                const int64_t xb = BlockStart(x0, x1 - x0 - 1, width, j + 1);
                const int64_t ya = BlockStart(y0, y1 - y0 - 1, height, i);
                const int64_t yb = BlockStart(y0, y1 - y0 - 1, height, i + 1);
                empty = xa >= xb || ya >= yb;
                if (empty) return 0;
                int64_t sum = 0;
                for (int64_t y = ya; y < yb; ++y)
                    for (int64_t x = xa; x < xb; ++x)
                        sum += static_cast<int16_t>(source.GetPixel(static_cast<int32_t>(x), static_cast<int32_t>(y)));
                return static_cast<int32_t>(sum / ((xb - xa) * (yb - ya)));
            };
            // The first measured block of the call, and the first one at or below row i in
            // column j, searched for as the rule says.
            auto firstMeasured = [&](int64_t fromRow, int64_t onlyColumn, int32_t& value) {
                bool empty = false;
                for (int64_t i = fromRow; i < height; ++i)
                    for (int64_t j = 0; j < width; ++j) {
                        if (onlyColumn >= 0 && j != onlyColumn) continue;
                        const int32_t m = mean(i, j, empty);
                        if (!empty) {
                            value = m;
                            return true;
                        }
                    }
                return false;
            };
            int32_t callFirst = 0;
            bool measured = false, empty = false;
            if (firstMeasured(0, -1, callFirst)) {
                int32_t value = 0;
                for (int64_t i = 0; i < height; ++i)
                    for (int64_t j = 0; j < width; ++j) {
                        const int32_t m = mean(i, j, empty);
                        if (!empty) {
                            value = m;
                            measured = true;
                        } else if (!measured && !firstMeasured(i, j, value)) {
                            value = callFirst;
                        }
                        expected.SetPixel(static_cast<int32_t>(X0 + j), static_cast<int32_t>(Y0 + i), value);
                    }
            }
        }
        EXPECT_EQ(Samples(fast), Samples(expected)) << "round " << round;
    }
}
