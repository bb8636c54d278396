// The offset measurement by pixel rules on synthetic scans whose geometry is known exactly: where
// the marks and every map sample lie, what each sample measures, how far the print's light
// reaches around the marks, and what the noise filter keeps.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <functional>
#include <vector>

#include "calibration/MarkGrid.h"
#include "calibration/NoiseFilter.h"
#include "calibration/PixelMeasurement.h"
#include "image/Frame.h"
#include "support/FewerCases.h"
#include "support/Planes.h"

using namespace kavrel::offset;

namespace {

// A scan of the display at `scale` scan samples per display pixel, slightly turned and sheared:
// map place (x, y) (a sample's centre at x + 0.5) lies at scan place origin + A (x, y).
struct CScanGeometry {
    double scale;
    double ox = 37.3, oy = 41.7;
    double Ax() const { return scale; }
    double Bx() const { return 0.004 * scale; }
    double Ay() const { return -0.003 * scale; }
    double By() const { return scale; }

    CScanPlace At(double x, double y) const {
        return CScanPlace{ox + Ax() * x + Bx() * y, oy + Ay() * x + By() * y};
    }
    // The map place that lies at scan place (u, v).
    void Back(double u, double v, double& x, double& y) const {
        const double det = Ax() * By() - Bx() * Ay();
        const double du = u - ox, dv = v - oy;
        x = (By() * du - Bx() * dv) / det;
        y = (-Ay() * du + Ax() * dv) / det;
    }
    int32_t Width() const { return static_cast<int32_t>(At(1280, 0).x) + 60; }
    int32_t Height() const { return static_cast<int32_t>(At(0, 1024).y) + 60; }
    // The exposed area, as the border search finds it.
    CBorderBox Box() const {
        return CBorderBox{static_cast<int32_t>(At(0, 0).x), static_cast<int32_t>(At(0, 0).y),
                          static_cast<int32_t>(At(1280, 0).x), static_cast<int32_t>(At(0, 1024).y)};
    }
};

// A map of the nominal size, for the grid it carries.
struct CNominalMap {
    CNominalMap() { map.Fill(0); }
    CFrame map;
};

bool IsGridPoint(int32_t x, int32_t y) {
    return x >= 31 && y >= 31 && (x - 31) % 64 == 0 && (y - 31) % 64 == 0;
}

// Within `reach` samples of a grid point?
bool NearGridPoint(int32_t x, int32_t y, int32_t reach) {
    const int32_t dx = (x - 31 + 32 * 64) % 64, dy = (y - 31 + 32 * 64) % 64;
    return std::min(dx, 64 - dx) <= reach && std::min(dy, 64 - dy) <= reach;
}

// The scan of a display showing level(x, y) at display pixel (x, y), each scan sample the mean
// of 3 x 3 points of its area (12 x 12 around the marks, whose place must be exact), plus
// uniform noise of +-noise levels.
void ScanDisplay(const CScanGeometry& g, const std::function<double(int32_t, int32_t)>& level,
                 double noise, CFrame& scan) {
    uint32_t random = 2024;
    testing_support::Paint(scan, g.Width(), g.Height(), [&](int32_t u, int32_t v) {
        double cx = 0, cy = 0;
        g.Back(u + 0.5, v + 0.5, cx, cy);
        const int32_t points = NearGridPoint(static_cast<int32_t>(cx), static_cast<int32_t>(cy), 2) ? 12 : 3;
        double sum = 0;
        for (int32_t b = 0; b < points; ++b)
            for (int32_t a = 0; a < points; ++a) {
                double x = 0, y = 0;
                g.Back(u + (a + 0.5) / points, v + (b + 0.5) / points, x, y);
                const bool inside = x >= 0 && y >= 0 && x < 1280 && y < 1024;
                sum += inside ? level(static_cast<int32_t>(x), static_cast<int32_t>(y)) : 3000;
            }
        random = random * 1664525u + 1013904223u;
        const double n = ((random >> 8) / double(1u << 24) * 2 - 1) * noise;
        return static_cast<int32_t>(std::lround(sum / (points * points) + n));
    });
}

// The scan resolutions of the tests; with fewer cases the coarser one only.
std::vector<double> Scales() {
    return testing_support::CasesToRun(std::vector<double>{1.5, 2.3}, {0});
}

}  // namespace

TEST(MarkGrid, PlacesEveryMapSampleWithinAQuarterPixelOfItsPlaceInTheScan) {
    for (const double scale : Scales()) {
        SCOPED_TRACE(scale);
        const CScanGeometry g{scale};
        CFrame scan;
        // Marks of one display pixel on an uneven field, with scanner noise.
        ScanDisplay(g, [](int32_t x, int32_t y) { return IsGridPoint(x, y) ? 1600 : 400 + x / 8 + y / 16; },
                    20, scan);
        const CNominalMap nominal;
        const CMarkGrid marks(nominal.map, scan, g.Box());
        EXPECT_EQ(marks.FoundCount(), 320);
        double worst = 0;
        for (int32_t y = 0; y < 1024; y += 3)
            for (int32_t x = 0; x < 1280; x += 3) {
                const CScanPlace found = marks.Centre(x, y);
                const CScanPlace truth = g.At(x + 0.5, y + 0.5);
                worst = std::max(worst, std::hypot(found.x - truth.x, found.y - truth.y) / scale);
            }
        EXPECT_LT(worst, 0.25) << "display pixels";
        double across = 0, down = 0;
        marks.Extent(640, 512, across, down);
        EXPECT_NEAR(across, g.Ax(), 0.02);
        EXPECT_NEAR(down, g.By(), 0.02);
    }
}

TEST(MarkGrid, MissingMarksTakeThePlaceTheOthersGiveThem) {
    const CScanGeometry g{Scales().back()};
    CFrame scan;
    const auto missing = [](int32_t x, int32_t y) {
        return (x == 31 + 64 * 3 && y == 31 + 64 * 4) || (x == 31 + 64 * 19 && y == 31 + 64 * 15);
    };
    ScanDisplay(g, [&](int32_t x, int32_t y) { return IsGridPoint(x, y) && !missing(x, y) ? 1600 : 400; },
                10, scan);
    const CNominalMap nominal;
    const CMarkGrid marks(nominal.map, scan, g.Box());
    EXPECT_EQ(marks.FoundCount(), 318);
    EXPECT_FALSE(marks.Found(3, 4));
    for (const auto& [i, j] : {std::pair{3, 4}, std::pair{19, 15}}) {
        const CScanPlace place = marks.Mark(i, j);
        const CScanPlace truth = g.At(31 + 64 * i + 0.5, 31 + 64 * j + 0.5);
        EXPECT_LT(std::hypot(place.x - truth.x, place.y - truth.y), 0.25 * g.scale) << i << "," << j;
    }
}

TEST(PixelMeasurement, EverySampleMeasuresItsOwnDisplayPixel) {
    // Bands three and four display pixels wide: a sample measured a pixel off, or a cell measured
    // compressed by a scan sample, reads the band beside its own.
    const auto level = [](int32_t x, int32_t y) {
        if (IsGridPoint(x, y)) return 1600.0;
        return 500.0 + 60 * ((x / 3) % 2) + 40 * ((y / 4) % 2);
    };
    for (const double scale : Scales()) {
        SCOPED_TRACE(scale);
        const CScanGeometry g{scale};
        CFrame scan;
        ScanDisplay(g, level, 0, scan);
        const CNominalMap nominal;
        const CMarkGrid marks(nominal.map, scan, g.Box());
        CWorkPlane measured(1280, 1024);
        MeasureEveryPixel(marks, scan, measured);
        double worst = 0, total = 0;
        int64_t count = 0;
        for (int32_t y = 0; y < 1024; ++y)
            for (int32_t x = 0; x < 1280; ++x) {
                // The marks' pixels, and the outermost pixels, which share scan samples with the
                // paper around the picture.
                if (NearGridPoint(x, y, 3) || x < 2 || y < 2 || x > 1277 || y > 1021) continue;
                const double error = std::abs(measured.At(x, y) - level(x, y));
                worst = std::max(worst, error);
                total += error;
                ++count;
            }
        // Scan samples that straddle two display pixels mix them; nothing else does.
        EXPECT_LT(worst, 30) << "of bands 60 and 40 levels high";
        EXPECT_LT(total / count, 6);
    }
}

TEST(PixelMeasurement, TheRepairReachesAsFarAsThePrintSpreadsTheMarksLight) {
    struct Case {
        double sigma;  // of the print's spread, in display pixels (0: none)
        int32_t leastRadiusSquared, mostRadiusSquared;
        int32_t leastBand, mostBand;
    };
    // The marks' places, from a scan of them.
    const CScanGeometry g{Scales().front()};
    CFrame scan;
    ScanDisplay(g, [](int32_t x, int32_t y) { return IsGridPoint(x, y) ? 1600 : 400; }, 0, scan);
    const CNominalMap nominal;
    const CMarkGrid marks(nominal.map, scan, g.Box());
    for (const Case& c : {Case{0, 2, 2, 2, 2}, Case{0.7, 4, 10, 3, 3}, Case{1.0, 8, 13, 4, 4}}) {
        SCOPED_TRACE(c.sigma);
        // The measured map of a mark's missing light (1000 levels in one pixel), spread.
        CWorkPlane measured(1280, 1024);
        for (int32_t y = 0; y < 1024; ++y)
            for (int32_t x = 0; x < 1280; ++x) {
                double light = 0;
                const int32_t dx = (x - 31 + 64 * 32) % 64, dy = (y - 31 + 64 * 32) % 64;
                const double ux = std::min(dx, 64 - dx), uy = std::min(dy, 64 - dy);
                if (c.sigma == 0)
                    light = ux == 0 && uy == 0 ? 1000 : 0;
                else
                    light = 1000 * std::exp(-(ux * ux + uy * uy) / (2 * c.sigma * c.sigma)) /
                            (2 * 3.14159265358979 * c.sigma * c.sigma);
                measured.At(x, y) = static_cast<float>(500 + (x >= 31 && y >= 31 ? light : 0));
            }
        const CPrintSpread spread = EstimatePrintSpread(measured, marks);
        EXPECT_GE(spread.markRadiusSquared, c.leastRadiusSquared);
        EXPECT_LE(spread.markRadiusSquared, c.mostRadiusSquared);
        EXPECT_GE(spread.edgeBand, c.leastBand);
        EXPECT_LE(spread.edgeBand, c.mostBand);

        // The repair leaves no light of the marks.
        RepairMarks(measured, marks.Grid(), spread.markRadiusSquared);
        double most = 0;
        for (int32_t y = 40; y < 990; ++y)
            for (int32_t x = 40; x < 1240; ++x) most = std::max(most, measured.At(x, y) - 500.0);
        EXPECT_LT(most, 1.5) << "levels of a mark's 1000";
    }
}

TEST(NoiseFilter, KeepsBandsTheScanResolvesAndLeavesItsNoiseOut) {
    // An uneven display with bands a dozen pixels wide, measured with noise of 8 levels.
    const auto truth = [](int32_t x, int32_t y) {
        return 500.0 + 0.05 * x - 0.03 * y + ((x / 12) % 2 ? 20 : 0);
    };
    CWorkPlane measured(1280, 1024);
    uint32_t random = 7;
    auto gaussian = [&random]() {
        double sum = 0;  // twelve uniform numbers: near enough to normal
        for (int k = 0; k < 12; ++k) {
            random = random * 1664525u + 1013904223u;
            sum += (random >> 8) / double(1u << 24);
        }
        return sum - 6;
    };
    for (int32_t y = 0; y < 1024; ++y)
        for (int32_t x = 0; x < 1280; ++x)
            measured.At(x, y) = static_cast<float>(truth(x, y) + 8 * gaussian());
    const CNominalMap nominal;
    const CMapGrid grid(nominal.map);
    const double noise = EstimateSampleNoise(measured, grid, 2);
    EXPECT_NEAR(noise, 8, 1.2);

    ASSERT_TRUE(KeepWhatStandsAboveNoise(measured, grid, noise, 2));
    // Away from the bands' edges (whose sharpness one noisy pixel cannot tell), over the middle
    // four pixels of each band and of each gap.
    double squares = 0, inBands = 0, between = 0;
    int64_t bandCount = 0, betweenCount = 0;
    for (int32_t y = 40; y < 990; ++y)
        for (int32_t x = 40; x < 1240; ++x) {
            if (x % 12 < 4 || x % 12 > 7) continue;
            const double error = measured.At(x, y) - truth(x, y);
            squares += error * error;
            const double kept = measured.At(x, y) - (500.0 + 0.05 * x - 0.03 * y);
            if ((x / 12) % 2) {
                inBands += kept;
                ++bandCount;
            } else {
                between += kept;
                ++betweenCount;
            }
        }
    EXPECT_LT(std::sqrt(squares / (bandCount + betweenCount)), 0.3 * 8) << "left of the noise";
    EXPECT_GT(inBands / bandCount - between / betweenCount, 0.8 * 20) << "of the bands' 20 levels";
}
