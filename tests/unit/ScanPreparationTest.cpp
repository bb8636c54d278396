// Preparing the scan: one colour byte into a plane, the edges of the exposed area, straightening
// it and its border box.
#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "image/BitmapImage.h"
#include "image/Frame.h"
#include "support/Planes.h"
#include "image/Lut.h"
#include "image/ExtractResult.h"
#include "support/Hooks.h"
#include "support/ScanPicture.h"
#include "support/TestFiles.h"

using testing_support::MessageRecorder;

using testing_support::Samples;
using testing_support::Paint;

namespace {

// A box's edges in the order left, top, right, bottom, to compare in one assertion.
std::vector<int32_t> Edges(const CBorderBox& box) {
    return {box.left, box.top, box.right, box.bottom};
}

}  // namespace

TEST(LoadChannel, TakesOneByteOfEveryPixelAndStepsByTheStoredRowLength) {
    // 3 pixels wide: 9 bytes of pixels and 3 of padding per stored row.
    std::vector<uint8_t> pixels = {
        10, 20, 30, 11, 21, 31, 12, 22, 32, 0xEE, 0xEE, 0xEE,  // stored row 0
        13, 23, 33, 14, 24, 34, 15, 25, 35, 0xEE, 0xEE, 0xEE,  // stored row 1
    };
    CBitmapImage image;
    image.Attach(3, 2, pixels.data());
    for (int32_t color = 0; color < 3; ++color) {
        CFrame plane;
        ASSERT_EQ(plane.LoadChannel(image, color), kExtracted);
        EXPECT_EQ(plane.m_nCols, 3);
        EXPECT_EQ(plane.m_nRows, 2);
        EXPECT_EQ(plane.m_nCount, 6);
        const uint16_t first = static_cast<uint16_t>(10 * (color + 1));
        // The first stored row becomes row 0.
        EXPECT_EQ(Samples(plane),
                  (std::vector<uint16_t>{
                      first, static_cast<uint16_t>(first + 1), static_cast<uint16_t>(first + 2),
                      static_cast<uint16_t>(first + 3), static_cast<uint16_t>(first + 4),
                      static_cast<uint16_t>(first + 5)}))
            << "colour " << color;
    }
}

TEST(LoadChannel, RefusesWhatItCannotReadAndKeepsThePlane) {
    using testing_support::BitmapFile;
    testing_support::TempDir dir;
    const std::vector<uint8_t> rows24(2 * 12, 100);
    struct Case {
        const char* what;
        std::vector<uint8_t> file;
        int32_t color;
        int32_t result;
    };
    std::vector<uint8_t> truncated = BitmapFile(3, 2, rows24);
    truncated.resize(truncated.size() - 1);
    const Case cases[] = {
        {"two planes", BitmapFile(3, 2, rows24, 24, 0, 2), 1, kNotSinglePlane},
        {"32 bits per pixel", BitmapFile(3, 2, std::vector<uint8_t>(24, 100), 32), 1, kNot24Bit},
        {"compressed", BitmapFile(3, 2, rows24, 24, 1), 1, kCompressed},
        {"fewer pixels than the header promises", truncated, 1, kNoPixels},
        {"top-down rows", BitmapFile(3, -2, rows24), 1, kUnusableSize},
        {"colour byte 3", BitmapFile(3, 2, rows24), 3, kUnusableSize},
        {"colour byte -1", BitmapFile(3, 2, rows24), -1, kUnusableSize},
    };
    for (const Case& c : cases) {
        const std::string path = dir.Path("scan.bmp");
        testing_support::WriteBytes(path, c.file);
        CBitmapImage image;
        image.Load(path);
        CFrame plane;
        plane.Fill(7);
        const uint16_t* before = plane.m_pData.get();
        EXPECT_EQ(plane.LoadChannel(image, c.color), c.result) << c.what;
        EXPECT_EQ(plane.m_pData.get(), before) << c.what;
        EXPECT_EQ(plane.m_nCount, 1280 * 1024) << c.what;
        EXPECT_EQ(plane.m_nCols, 1280) << c.what;
        EXPECT_EQ(plane.GetPixel(0, 0), 7) << c.what;
    }
}

TEST(LoadChannel, OutOfMemoryLeavesThePlaneWithoutData) {
    std::vector<uint8_t> pixels(12, 1);
    CBitmapImage image;
    image.Attach(3, 1, pixels.data());
    CFrame plane;
    plane.Fill(7);
    testing_support::AllocationFailure failure(1);
    EXPECT_EQ(plane.LoadChannel(image, 0), kOutOfMemory);
    EXPECT_FALSE(plane.HasData());
}

TEST(EdgeSearch, FindsTheOutermostSamplesStrictlyBelowTheThreshold) {
    // The scaling of the default settings: byte 229 becomes 1796 and counts as exposed against the
    // threshold 1800, byte 230 becomes 1803 and does not.
    CLut scaling;
    scaling.MakeLinear(2000);
    ASSERT_EQ(scaling.m_pTable[229], 1796);
    ASSERT_EQ(scaling.m_pTable[230], 1803);

    struct Case {
        int16_t threshold;
        std::vector<int32_t> line;
        int32_t first, last;  // -7: not found, the output keeps its value
    };
    const Case cases[] = {
        {1800, {1803, 1796, 1800, 1796, 1803}, 1, 3},
        {1800, {1803, 1800, 2000}, -7, -7},
        {1800, {1796, 2000, 2000}, 0, -7},    // the search for the last one stops before x = 0
        {0, {3500, 3499, 3500, 4000}, 1, 1},  // 0 stands for 3500
        {0, {2000, 2000}, 0, 1},
        {-5, {-6, -6, -5}, 0, 1},  // samples and threshold compare as signed values
    };
    for (const Case& c : cases) {
        const int32_t n = static_cast<int32_t>(c.line.size());
        CFrame row, column;
        Paint(row, n, 3, [&](int32_t x, int32_t y) { return y == 1 ? c.line[x] : 0; });
        Paint(column, 3, n, [&](int32_t x, int32_t y) { return x == 2 ? c.line[y] : 0; });
        row.SetEdgeThreshold(c.threshold);
        column.SetEdgeThreshold(c.threshold);
        int32_t first = -7, last = -7;
        row.FindRowEdges(1, first, last);
        EXPECT_EQ(first, c.first);
        EXPECT_EQ(last, c.last);
        first = last = -7;
        column.FindColumnEdges(2, first, last);
        EXPECT_EQ(first, c.first);
        EXPECT_EQ(last, c.last);
    }
}

TEST(BorderBox, IsTheExposedRectangleOnTheMiddleRowAndColumn) {
    CFrame plane;
    Paint(plane, 40, 30,
          [](int32_t x, int32_t y) { return x >= 5 && x <= 33 && y >= 3 && y <= 20 ? 700 : 1900; });
    plane.SetEdgeThreshold(1800);
    const std::vector<uint16_t> upright = Samples(plane);
    plane.CorrectGeometry();
    EXPECT_EQ(Samples(plane), upright);
    EXPECT_EQ(Edges(plane.GetBorderBox()), (std::vector<int32_t>{5, 3, 33, 20}));

    // Threshold 0 means 3500, above every scaled sample: the whole plane counts as exposed.
    plane.SetEdgeThreshold(0);
    plane.CorrectGeometry();
    EXPECT_EQ(Samples(plane), upright);
    EXPECT_EQ(Edges(plane.GetBorderBox()), (std::vector<int32_t>{0, 0, 39, 29}));
}

// A 1000 x 1000 plane whose dark area's left edge drifts 12 columns between rows 100 and 700 and
// whose middle column is dark from row 0 to 800: T0 = 0, B0 = 800, La = 100, Lb = 112. The rows
// move by ((500 - y) * 12 * 4) / (3 * 800). Transposed, the same holds for the columns.
TEST(CorrectGeometry, ShiftsEveryLineByTheDriftOfTheEdge) {
    const auto dark = [](int32_t x, int32_t y) {
        return y <= 800 && x >= 100 + (y - 100) * 12 / 600 && x <= 900;
    };
    const auto sample = [&](int32_t x, int32_t y) {
        return dark(x, y) ? 1000 + x % 97 + y % 5 : 2500 + x % 89 + y % 7;
    };
    for (const bool transposed : {false, true}) {
        SCOPED_TRACE(transposed ? "columns" : "rows");
        const auto picture = [&](int32_t x, int32_t y) {
            return transposed ? sample(y, x) : sample(x, y);
        };
        CFrame plane;
        Paint(plane, 1000, 1000, picture);
        plane.SetEdgeThreshold(1800);
        plane.CorrectGeometry();
        const auto at = [&](int32_t along, int32_t line) {
            return transposed ? plane.GetPixel(line, along) : plane.GetPixel(along, line);
        };
        const auto before = [&](int32_t along, int32_t line) {
            return static_cast<int16_t>(transposed ? picture(line, along) : picture(along, line));
        };
        for (int32_t i = 0; i < 1000; ++i) {
            // Line 0 moves by +10 (its first 10 samples stay), line 500 not at all, line 999 by -9
            // (-9.98 truncated toward zero; its last 9 samples stay).
            ASSERT_EQ(at(i, 0), before(i < 10 ? i : i - 10, 0)) << i;
            ASSERT_EQ(at(i, 500), before(i, 500)) << i;
            ASSERT_EQ(at(i, 999), before(i > 990 ? i : i + 9, 999)) << i;
        }
    }
}

TEST(CorrectGeometry, NeedsTwoExposedSamplesOnTheMiddleRowAndColumn) {
    for (const bool oneSample : {false, true}) {
        MessageRecorder messages;
        CFrame plane;
        Paint(plane, 9, 7,
              [&](int32_t x, int32_t y) { return oneSample && x == 4 && y == 3 ? 100 : 2000; });
        plane.SetEdgeThreshold(1800);
        plane.m_bShowErrors = 1;
        const std::vector<uint16_t> before = Samples(plane);
        plane.CorrectGeometry();
        EXPECT_EQ(Samples(plane), before);
        EXPECT_EQ(messages.Texts(), std::vector<std::string>{"Image Invalid"});

        plane.m_bShowErrors = 0;
        plane.CorrectGeometry();
        EXPECT_EQ(messages.Texts().size(), 1u);
    }
}
