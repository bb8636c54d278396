// Measuring the grid: peak search, resampling, patching, and the steps that turn the measurement
// into the offset map.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "calibration/BlockRules.h"
#include "calibration/CommonSteps.h"
#include "calibration/OffsetRules.h"
#include "image/Frame.h"
#include "support/Planes.h"
#include "support/SettingsFolder.h"
#include "support/TestFiles.h"

using namespace kavrel::offset;

using testing_support::Samples;
using testing_support::Paint;

namespace {

// A nominal map of irregular samples in 0..3999, the same every time.
void FillWithPositions(CFrame& map) {
    map.Fill(0);
    for (int32_t y = 0; y < map.m_nRows; ++y)
        for (int32_t x = 0; x < map.m_nCols; ++x) map.SetPixel(x, y, ((x * 37) ^ (y * 91)) % 4000);
}

}  // namespace

TEST(FindPeak, ReturnsTheFirstLargestSampleAboveZeroInItsWindow) {
    struct Case {
        const char* what;
        int32_t background;
        std::vector<std::pair<CPoint, int32_t>> samples;
        CPoint expected;
    };
    // Window of FindPeak(5, 5, 3): columns and rows 2 to 7.
    const Case cases[] = {
        {"equal maxima on one row", 0, {{{3, 4}, 50}, {{6, 4}, 50}}, {3, 4}},
        {"equal maxima on two rows", 0, {{{6, 3}, 50}, {{3, 4}, 50}}, {6, 3}},
        {"larger one later", 10, {{{3, 4}, 50}, {{6, 6}, 51}}, {6, 6}},
        {"just outside the window", 0, {{{8, 5}, 90}, {{5, 8}, 90}, {{2, 2}, 1}}, {2, 2}},
        {"zeros", 0, {}, {0, 0}},
        {"negatives", -20, {{{4, 4}, -1}}, {0, 0}},
    };
    for (const Case& c : cases) {
        CFrame plane;
        Paint(plane, 10, 10, [&](int32_t, int32_t) { return c.background; });
        for (const auto& [at, value] : c.samples) plane.SetPixel(at.x, at.y, value);
        const CPoint peak = plane.FindPeak(5, 5, 3);
        EXPECT_EQ(peak.x, c.expected.x) << c.what;
        EXPECT_EQ(peak.y, c.expected.y) << c.what;
    }
    const CFrame empty;
    EXPECT_EQ(empty.FindPeak(0, 0, 5).x, 0);
}

TEST(Resample, WritesBlockMeansAndLeavesTheLastSourceRowAndColumnUnread) {
    CFrame source;
    Paint(source, 5, 5, [](int32_t x, int32_t y) { return x == 4 || y == 4 ? 30000 : x + 10 * y; });
    CFrame map;
    map.Fill(999);
    map.Resample(0, 0, 5, 5, 10, 10, 12, 12, source);
    EXPECT_EQ(map.GetPixel(10, 10), (0 + 1 + 10 + 11) / 4);
    EXPECT_EQ(map.GetPixel(11, 10), (2 + 3 + 12 + 13) / 4);
    EXPECT_EQ(map.GetPixel(10, 11), (20 + 21 + 30 + 31) / 4);
    EXPECT_EQ(map.GetPixel(11, 11), (22 + 23 + 32 + 33) / 4);
    EXPECT_EQ(map.GetPixel(12, 10), 999);
    EXPECT_EQ(map.GetPixel(10, 12), 999);
    EXPECT_EQ(map.GetPixel(9, 10), 999);

    // A negative block sum is divided toward zero: -1 and -2 give -1.
    Paint(source, 3, 2, [](int32_t x, int32_t) { return -1 - x; });
    map.Resample(0, 0, 3, 2, 0, 0, 1, 1, source);
    EXPECT_EQ(map.GetPixel(0, 0), -1);

    // An empty or inverted destination writes nothing.
    map.Fill(999);
    map.Resample(0, 0, 3, 2, 5, 5, 5, 9, source);
    map.Resample(0, 0, 3, 2, 5, 5, 9, 4, source);
    EXPECT_EQ(Samples(map), std::vector<uint16_t>(1280 * 1024, 999));
}

TEST(Resample, EmptyBlocksRepeatAMeasuredValue) {
    CFrame source;
    Paint(source, 3, 3, [](int32_t x, int32_t y) { return 100 * (x + 1) + y; });
    CFrame map;
    map.Fill(999);
    // Two source columns for four destination columns: blocks 0 and 2 are empty. Block 0 comes
    // before any measurement and, its column holding none, takes the call's first measured
    // block, block 1; block 2 repeats block 1.
    map.Resample(0, 0, 3, 3, 0, 0, 4, 1, source);
    const int32_t column0 = (100 + 101) / 2;
    const int32_t column1 = (200 + 201) / 2;
    EXPECT_EQ(map.GetPixel(0, 0), column0);
    EXPECT_EQ(map.GetPixel(1, 0), column0);
    EXPECT_EQ(map.GetPixel(2, 0), column0);
    EXPECT_EQ(map.GetPixel(3, 0), column1);

    // One source row for three destination rows: rows 0 and 1 are empty. Before the first
    // measurement each sample takes the first measured block below it in its own column, not the
    // call's first block (which would spread one column's value, a mark's, along the row).
    map.Resample(0, 0, 3, 2, 0, 5, 2, 8, source);
    EXPECT_EQ(map.GetPixel(0, 5), 100);
    EXPECT_EQ(map.GetPixel(1, 5), 200);
    EXPECT_EQ(map.GetPixel(0, 6), 100);
    EXPECT_EQ(map.GetPixel(1, 6), 200);
    EXPECT_EQ(map.GetPixel(0, 7), 100);
    EXPECT_EQ(map.GetPixel(1, 7), 200);

    // Both at once: of four columns only 1 and 3 hold samples, of three rows only row 2. Columns
    // 0 and 2 above row 2 and column 0 of row 2 have no block below them and take the call's
    // first block (row 2, column 1); after it, column 2 repeats the value written before it.
    Paint(source, 3, 2, [](int32_t x, int32_t y) { return 10 * (x + 1) + y; });
    map.Fill(999);
    map.Resample(0, 0, 3, 2, 0, 0, 4, 3, source);
    const std::vector<std::vector<int32_t>> expected = {
        {10, 10, 10, 20}, {10, 10, 10, 20}, {10, 10, 10, 20}};
    for (int32_t y = 0; y < 3; ++y)
        for (int32_t x = 0; x < 4; ++x)
            EXPECT_EQ(map.GetPixel(x, y), expected[y][x]) << x << ", " << y;

    // An inverted source rectangle has no block with samples: the destination keeps its values.
    map.Fill(999);
    map.Resample(3, 3, 0, 0, 0, 10, 4, 12, source);
    EXPECT_EQ(map.GetPixel(0, 10), 999);
    EXPECT_EQ(map.GetPixel(3, 11), 999);
}

TEST(Resample, ExtremeRectanglesWrapWithoutFault) {
    CFrame source;
    Paint(source, 4, 4, [](int32_t x, int32_t y) { return x + y; });
    constexpr int32_t kMax = 2147483647;
    constexpr int32_t kMin = -kMax - 1;
    struct Case {
        int32_t x0, y0, x1, y1, X0, Y0, X1, Y1;
        size_t written;  // samples written at the start of the map, all 0
    };
    const Case cases[] = {// A source span that wraps to nothing: no block holds a sample.
                          {kMax, kMax, kMin, kMin, 0, 0, 3, 3, 0},
                          // Destinations beyond the plane, or whose width wraps below 1.
                          {0, 0, 4, 4, kMax - 1, kMax - 1, kMax, kMax, 0},
                          {0, 0, 4, 4, kMin, 0, kMax, 0, 0},
                          // Block starts whose products pass the 32-bit range: blocks far wider
                          // than the plane, whose few samples divided by their huge count are 0.
                          {0, 0, kMax, 4, 0, 0, 3, 1, 3}};
    for (const Case& c : cases) {
        CFrame map;
        map.Fill(999);
        map.Resample(c.x0, c.y0, c.x1, c.y1, c.X0, c.Y0, c.X1, c.Y1, source);
        std::vector<uint16_t> expected(1280 * 1024, 999);
        std::fill_n(expected.begin(), c.written, 0);
        EXPECT_EQ(Samples(map), expected) << c.x0 << ", " << c.X0;
    }
    EXPECT_EQ(source.FindPeak(kMax, kMax, 3).x, 0);
    EXPECT_EQ(source.FindPeak(kMin, kMin, 3).x, 0);
}

TEST(PatchSample, CopiesFromTenRowsAwayTurningAtRow300) {
    CFrame map;
    map.Fill(0);
    for (int32_t y = 0; y < 1024; ++y) map.SetPixel(7, y, y);
    map.PatchSample(7, 299);
    map.PatchSample(7, 300);
    map.PatchSample(7, 0);
    map.PatchSample(7, 1023);
    EXPECT_EQ(map.GetPixel(7, 299), 309);
    EXPECT_EQ(map.GetPixel(7, 300), 290);
    EXPECT_EQ(map.GetPixel(7, 0), 10);
    EXPECT_EQ(map.GetPixel(7, 1023), 1013);
}

TEST(OffsetMap, GridPositionsAreFormedProductFirst) {
    CFrame map;
    const CGridMapping at(map, CBorderBox{100, 200, 2700, 2300});
    EXPECT_EQ(at.ScanX(31), 162);
    EXPECT_EQ(at.ScanY(31), 263);
    EXPECT_EQ(at.dX(31), 62);
    EXPECT_EQ(at.dY(31), 63);
    EXPECT_EQ(at.ScanX(31) + at.dX(64), 292);
    EXPECT_EQ(at.ScanY(31) + at.dY(64), 394);
    EXPECT_EQ(at.ScanX(1248), 2635);
    EXPECT_EQ(at.ScanY(992), 2234);
}

TEST(OffsetMap, MeasuringCoversTheMapButColumn1279AtTheEndsAndRow1023) {
    CFrame scan;
    Paint(scan, 2800, 2400, [](int32_t, int32_t) { return 500; });
    CFrame map;
    map.Fill(999);
    MeasureGrid(map, scan, CBorderBox{100, 200, 2700, 2300});
    for (int32_t y = 0; y < 1024; ++y) {
        for (int32_t x = 0; x < 1280; ++x) {
            const bool unmeasured = y == 1023 || (x == 1279 && (y <= 30 || y >= 991));
            ASSERT_EQ(map.GetPixel(x, y), unmeasured ? 999 : 500) << x << ", " << y;
        }
    }
}

TEST(OffsetMap, MeasurableAreasHave1Point1SamplesPerMapSampleAndFitThe32BitGrid) {
    const CFrame map;
    struct Case {
        CBorderBox box;
        bool measurable;
    };
    const Case cases[] =
        {
            {{0, 0, 1408, 1127}, true},       {{0, 0, 1407, 1127}, false},
            {{0, 0, 1408, 1126}, false},      {{5, 7, 1413, 1134}, true},
            {{0, 0, 100, 100}, false},        {{1500, 50, 10, 2000}, false},
            {{0, 0, 1677721, 2097151}, true},  // 1677721 x 1280 and 2097151 x 1024 fit in 32 bits
            {{0, 0, 1677722, 2000}, false},   {{0, 0, 2000, 2097152}, false},
        };
    for (const Case& c : cases)
        EXPECT_EQ(IsMeasurable(c.box, map), c.measurable) << c.box.right << " x " << c.box.bottom;
}

TEST(OffsetMap, SmoothingFollowsTheSettingReadOncePerChoice) {
    CFrame reference;
    FillWithPositions(reference);
    CFrame diagonal, vertical;
    FillWithPositions(diagonal);
    FillWithPositions(vertical);
    diagonal.SmoothDiagonal();
    vertical.SmoothVertical();
    ASSERT_NE(Samples(diagonal), Samples(reference));
    ASSERT_NE(Samples(vertical), Samples(reference));

    const std::pair<unsigned, const CFrame*> cases[] = {
        {0, &reference}, {1, &diagonal}, {2, &vertical}, {3, &reference}, {~0u, &reference}};
    for (const auto& [setting, expected] : cases) {
        CFrame map;
        FillWithPositions(map);
        int reads = 0;
        SmoothAsConfigured(map, [&, value = setting] {
            ++reads;
            return value;
        });
        EXPECT_EQ(reads, 2) << setting;
        EXPECT_EQ(Samples(map), Samples(*expected)) << setting;
    }
}

TEST(OffsetMap, UnsharpenOffsetIsOneWithoutASettingsFile) {
    // The Windows build finds no settings file of the test program's in the Windows folder.
    testing_support::SettingsFolder none;
    EXPECT_EQ(ReadUnsharpenOffset(), 1u);
}

TEST(OffsetMap, UnsharpenOffsetComesFromTheSettingsFile) {
    if (!testing_support::SettingsFolder::Supported())
        GTEST_SKIP() << "a settings file of the test's own is set up natively only";
    for (const auto& [text, value] :
         std::vector<std::pair<std::string, unsigned>>{{"[Imaging]\nUnsharpenOffset=2\n", 2},
                                                       {"[Imaging]\nUnsharpenOffset=0\n", 0},
                                                       {"[Imaging]\nGamma=200\n", 1},
                                                       {"[Other]\nUnsharpenOffset=2\n", 1}}) {
        testing_support::SettingsFolder folder(text);
        EXPECT_EQ(ReadUnsharpenOffset(), value) << text;
    }
}

TEST(OffsetMap, OuterRowsAndColumnsRepeatTheThirdFromTheEdge) {
    CFrame map;
    FillWithPositions(map);
    CFrame original;
    FillWithPositions(original);
    RepeatOuterRowsAndColumns(map);
    const int32_t w = 1280, h = 1024;
    for (int32_t x = 2; x < w - 2; ++x) {
        for (const int32_t y : {0, 1}) ASSERT_EQ(map.GetPixel(x, y), original.GetPixel(x, 2));
        for (const int32_t y : {h - 2, h - 1})
            ASSERT_EQ(map.GetPixel(x, y), original.GetPixel(x, h - 3));
    }
    for (int32_t y = 0; y < h; ++y) {
        const int32_t row = y < 2 ? 2 : (y >= h - 2 ? h - 3 : y);
        for (const int32_t x : {0, 1}) ASSERT_EQ(map.GetPixel(x, y), original.GetPixel(2, row));
        for (const int32_t x : {w - 2, w - 1})
            ASSERT_EQ(map.GetPixel(x, y), original.GetPixel(w - 3, row));
    }
    for (int32_t y = 2; y < h - 2; ++y)
        for (int32_t x = 2; x < w - 2; ++x) ASSERT_EQ(map.GetPixel(x, y), original.GetPixel(x, y));
}

TEST(OffsetMap, MarksAreReplacedAroundEveryGridPoint) {
    CFrame map;
    map.Fill(0);
    for (int32_t y = 0; y < 1024; ++y)
        for (int32_t x = 0; x < 1280; ++x) map.SetPixel(x, y, y);
    PatchMarks(map);
    int changed = 0;
    for (int32_t y = 0; y < 1024; ++y) {
        for (int32_t x = 0; x < 1280; ++x) {
            const bool nearGridPoint =
                x >= 30 && y >= 30 && (x - 30) % 64 <= 2 && (y - 30) % 64 <= 2;
            const int32_t expected = nearGridPoint ? (y < 300 ? y + 10 : y - 10) : y;
            ASSERT_EQ(map.GetPixel(x, y), expected) << x << ", " << y;
            changed += map.GetPixel(x, y) != y;
        }
    }
    EXPECT_EQ(changed, 320 * 9);
}

namespace {

// A prepared scan as the grid measurement sees it: an exposed rectangle whose level rises to the
// right and downwards, with a fine checkered grain of +-6 for scanner noise, a bright mark of
// `mark` at every predicted grid point but those in `missing`, and paper around it.
struct GridScan {
    CBorderBox box{40, 40, 1540, 1240};
    int32_t mark = 1600;
    std::vector<CPoint> missing;       // map grid points without a mark
    std::vector<CPoint> specks;        // scan samples raised a little, as a faint speck of dust
};

void MakeScan(const GridScan& s, CFrame& scan) {
    Paint(scan, 1600, 1300, [&](int32_t x, int32_t y) {
        const bool inside = x >= s.box.left && x <= s.box.right && y >= s.box.top && y <= s.box.bottom;
        return inside ? 800 + x / 4 + y / 8 + ((x + y) % 2 ? 6 : -6) : 2000;
    });
    const CFrame map;
    const CGridMapping at(map, s.box);
    for (int32_t X = 31; X < 1280; X += 64)
        for (int32_t Y = 31; Y < 1024; Y += 64) {
            bool isMissing = false;
            for (const CPoint& m : s.missing) isMissing |= m.x == X && m.y == Y;
            if (!isMissing) scan.SetPixel(at.ScanX(X), at.ScanY(Y), s.mark);
        }
    for (const CPoint& speck : s.specks)
        scan.SetPixel(speck.x, speck.y, scan.GetPixel(speck.x, speck.y) + 5);
}

std::vector<uint16_t> Measured(const GridScan& s, EPeaks peaks, bool patched) {
    CFrame scan, map;
    MakeScan(s, scan);
    map.Fill(999);
    MeasureGrid(map, scan, s.box, peaks);
    if (patched) PatchMarks(map);
    return Samples(map);
}

}  // namespace

TEST(OffsetMap, PeaksThatCannotBeMarksGiveWayToThePredictedPoint) {
    // With every mark present and sharp, no peak is replaced: the map is what the peaks alone
    // give, sample for sample.
    const GridScan complete;
    EXPECT_EQ(Measured(complete, EPeaks::MarksOnly, false),
              Measured(complete, EPeaks::AsFound, false));

    // A missing mark leaves its windows the brightest grain at their lower right edge, where the
    // level rises; a faint speck (+5) stands below six times the grain. Taken as marks, either
    // would measure the cells around it from a wrong rectangle; the predicted points measure them
    // as the same scan with its marks does, but for the mark's own samples, which the repair
    // replaces. (The box's extents are multiples of the grid's, so that every grid point is
    // predicted where the scan has its mark.)
    const CFrame nominal;
    const CGridMapping at(nominal, complete.box);
    GridScan missing;
    missing.missing = {{607, 415}, {31, 31}, {1183, 927}};
    GridScan faint = missing;
    faint.specks = {{at.ScanX(607) + 5, at.ScanY(415) - 4}};
    for (const GridScan* scan : {&missing, &faint}) {
        GridScan withMarks = *scan;
        withMarks.missing.clear();
        const std::vector<uint16_t> expected = Measured(withMarks, EPeaks::MarksOnly, true);
        EXPECT_NE(Measured(*scan, EPeaks::AsFound, true), expected);
        EXPECT_EQ(Measured(*scan, EPeaks::MarksOnly, true), expected);
    }
}

TEST(OffsetMap, MarksAreRepairedBeforeTheSmoothingUnlessTheSettingSaysOtherwise) {
    if (!testing_support::SettingsFolder::Supported())
        GTEST_SKIP() << "a settings file of the test's own is set up natively only";
    // Marks two scan samples wide, a level that is even elsewhere: the light of each mark fills
    // two map samples, inside the 3 x 3 that the repair replaces. Repaired first, the map stays
    // even; repaired after the smoothing, the smoothing has carried the light one sample beyond.
    GridScan wide;
    CFrame scan;
    MakeScan(wide, scan);
    for (int32_t y = 0; y < scan.m_nRows; ++y)
        for (int32_t x = 0; x < scan.m_nCols; ++x) {
            const int32_t value = scan.GetPixel(x, y);
            scan.SetPixel(x, y, value == wide.mark ? wide.mark : (value == 2000 ? 2000 : 1000));
        }
    for (int32_t y = 0; y < scan.m_nRows; ++y)
        for (int32_t x = scan.m_nCols - 2; x >= 0; --x)
            if (scan.GetPixel(x, y) == wide.mark) scan.SetPixel(x + 1, y, wide.mark);

    testing_support::TempDir dir;
    // A setting of the block rules.
    for (const auto& [setting, even] : std::vector<std::pair<std::string, bool>>{
             {"[Imaging]\nCalibrationRules=1\n", true},
             {"[Imaging]\nCalibrationRules=1\nRepairMarksFirst=1\n", true},
             {"[Imaging]\nCalibrationRules=1\nRepairMarksFirst=0\n", false}}) {
        testing_support::SettingsFolder folder(setting);
        CFrame map;
        map.Fill(999);
        map.SetFileName(dir.Path("offset.frm"));
        UpdateOffsetMap(map, scan, wide.box);
        CFrame saved;
        saved.Load(dir.Path("offset.frm"));
        const std::vector<uint16_t> samples = Samples(saved);
        ASSERT_FALSE(samples.empty()) << setting;
        const bool isEven = std::all_of(samples.begin(), samples.end(),
                                        [&](uint16_t v) { return v == samples[0]; });
        EXPECT_EQ(isEven, even) << setting;
        std::remove(dir.Path("offset.frm").c_str());
    }
}
