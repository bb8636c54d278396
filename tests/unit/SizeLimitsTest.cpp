// The size limits at their edges: the largest bitmap, scan and offset map that are taken, and the
// first that is refused, unread. They run in the 32-bit build too, where size_t and pointers have
// 32 bits and a product or an allocation that fits in 64 bits may not.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <memory>

#include "base/BitmapFile.h"
#include "base/OffsetFile.h"
#include "image/BitmapImage.h"
#include "image/ExtractResult.h"
#include "image/Frame.h"
#include "image/Lut.h"
#include "output/FramePacking.h"
#include "support/Bitmaps.h"
#include "support/CalibrationFiles.h"
#include "support/Hooks.h"
#include "support/Planes.h"
#include "support/TestFiles.h"

using namespace testing_support;

namespace {

// A bitmap file of width x height 24-bit pixels whose pixel array, all zeros, is sparse: its size
// costs no disk and no writing.
std::string SparseBitmap(const TempDir& dir, int32_t width, int32_t height) {
    const std::string path = dir.Path(std::to_string(width) + "x" + std::to_string(height) + ".bmp");
    const uint64_t pixelBytes = BitmapStride(width) * static_cast<uint64_t>(height);
    WriteBytes(path, BitmapHeaders(BitmapLayout{width, height}, 0, static_cast<uint32_t>(pixelBytes)));
    std::filesystem::resize_file(path, 54 + pixelBytes);
    return path;
}

struct Shape {
    int32_t width, height;
};

// Pixel arrays of exactly kBitmapMaxLoadedBytes (256 MB): one row of 89478485 pixels (the row
// stride alone is the whole array) and one column of 67108864 rows (four bytes each, padding
// included); and each grown by the least step, 4 bytes.
constexpr Shape kLargestRow{89478485, 1}, kLargestColumn{1, 67108864};
constexpr Shape kFirstRefusedRow{89478486, 1}, kFirstRefusedColumn{1, 67108865};

}  // namespace

TEST(SizeLimits, TheLargestPixelArrayIsLoadedAndOneStepMoreIsRefusedUnread) {
    static_assert(kavrel::kBitmapMaxLoadedBytes == 256 * 1024 * 1024);
    TempDir dir;
    for (Shape shape : {kLargestRow, kLargestColumn}) {
        SCOPED_TRACE(testing::Message() << shape.width << " x " << shape.height);
        ASSERT_EQ(BitmapStride(shape.width) * shape.height, 256u * 1024 * 1024);
        CBitmapImage image;
        ASSERT_EQ(image.Load(SparseBitmap(dir, shape.width, shape.height)), CBitmapImage::kLoaded);
        ASSERT_NE(image.Pixels(), nullptr);
        EXPECT_EQ(image.PixelBytes(), kavrel::kBitmapMaxLoadedBytes);
        // The last byte is where it belongs: read, and zero as the file holds it.
        EXPECT_EQ(image.Pixels()[kavrel::kBitmapMaxLoadedBytes - 1], 0);
    }
    for (Shape shape : {kFirstRefusedRow, kFirstRefusedColumn}) {
        SCOPED_TRACE(testing::Message() << shape.width << " x " << shape.height);
        const std::string path = SparseBitmap(dir, shape.width, shape.height);
        AllocationFailure counter(1 << 30);
        CBitmapImage image;
        EXPECT_EQ(image.Load(path), CBitmapImage::kUnsupported);
        EXPECT_EQ(image.Pixels(), nullptr);
        EXPECT_EQ(counter.Allocations(), 0);
    }
}

// The scan in one row: the shape that needs the most memory beside the plane, a row of 256 MB.
// (The other shape is read as many small bands, millions of calls that take long and add nothing.)
TEST(SizeLimits, TheLargestScanIsTurnedIntoItsPlaneAndOneStepMoreIsRefusedUnread) {
    TempDir dir;
    CLut table;
    table.MakeLinear(2000);
    for (Shape shape : {kLargestRow}) {
        SCOPED_TRACE(testing::Message() << shape.width << " x " << shape.height);
        CFrame plane;
        ASSERT_EQ(plane.ReadTurnedChannel(SparseBitmap(dir, shape.width, shape.height), 2, table),
                  kExtracted);
        // Turned a quarter: the scan's rows are the plane's columns.
        EXPECT_EQ(plane.m_nCols, shape.height);
        EXPECT_EQ(plane.m_nRows, shape.width);
        EXPECT_EQ(plane.m_nCount, shape.width * shape.height);
        EXPECT_EQ(plane.m_pData[plane.m_nCount - 1], 0);
    }
    for (Shape shape : {kFirstRefusedRow, kFirstRefusedColumn}) {
        SCOPED_TRACE(testing::Message() << shape.width << " x " << shape.height);
        const std::string path = SparseBitmap(dir, shape.width, shape.height);
        CFrame plane;
        MakePlane(plane, 2, 1, {5, 6});
        AllocationFailure counter(1 << 30);
        EXPECT_NE(plane.ReadTurnedChannel(path, 2, table), kExtracted);
        EXPECT_EQ(counter.Allocations(), 0);
        EXPECT_EQ(Samples(plane), (std::vector<uint16_t>{5, 6}));
    }
}

TEST(SizeLimits, TheLargestOffsetMapIsLoadedAndOneSampleMoreIsRefusedUnread) {
    TempDir dir;
    struct Case {
        int32_t cols, rows;
        bool loaded;
    };
    // 4096 x 4096 samples in two shapes; one sample more, and one row more.
    const Case cases[] = {
        {4096, 4096, true}, {16777216, 1, true}, {16777217, 1, false}, {4096, 4097, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.cols << " x " << c.rows);
        const int32_t count = c.cols * c.rows;
        const std::string path = dir.Path("map.frm");
        WriteBytes(path, OffsetFileBytes(count, c.cols, c.rows, {}));
        std::filesystem::resize_file(path, kavrel::OffsetFileLength(count));
        CFrame map;
        MakePlane(map, 2, 1, {5, 6});
        AllocationFailure counter(1 << 30);
        map.Load(path);
        if (c.loaded) {
            EXPECT_EQ(map.m_nCount, kavrel::kOffsetFileMaxSamples);
            EXPECT_EQ(map.m_nCols, c.cols);
            EXPECT_EQ(map.m_pData[map.m_nCount - 1], 0);
        } else {
            EXPECT_EQ(Samples(map), (std::vector<uint16_t>{5, 6}));
            EXPECT_EQ(counter.Allocations(), 0);
        }
    }
}

// A frame whose packed buffer (3 bytes a sample) has more bytes than size_t holds is never
// packed: in a 32-bit build the size would wrap around to a small buffer that the packing
// overruns. Only the sizes are looked at, so the frames need no samples of that many.
TEST(SizeLimits, APackedBufferIsNeverLargerThanItsSizeCanState) {
    struct Case {
        int32_t cols, rows;
    };
    // 3 x 1431655764 is the largest multiple of 12 that a 32-bit size_t holds; one more row of
    // 4 samples is beyond it. 64-bit builds pack both.
    const Case cases[] = {{4, 357913941}, {4, 357913942}, {1280, 1024}, {65536, 32767}};
    for (const Case& c : cases) {
        CFrame frame;
        frame.m_pData = std::make_unique<uint16_t[]>(1);
        frame.m_nCols = c.cols;
        frame.m_nRows = c.rows;
        frame.m_nCount = c.cols * c.rows;
        const uint64_t bytes = 3 * static_cast<uint64_t>(frame.m_nCount);
        EXPECT_EQ(kavrel::CanPackFrame(frame), bytes <= SIZE_MAX) << c.cols << " x " << c.rows;
        if (kavrel::CanPackFrame(frame)) {
            EXPECT_EQ(kavrel::PackedFrameBytes(frame), bytes);
        }
    }
}
