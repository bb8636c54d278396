// The calibration targets read back through the library: the grey-scale patches carry the step
// inputs of the LUT calculation, and the marks of the offset test pattern lie where the offset
// calculation's peak search finds them.
#include <gtest/gtest.h>

#include <cmath>

#include "image/BitmapImage.h"
#include "image/Frame.h"
#include "image/Lut.h"
#include "pictures/Bitmap.h"
#include "pictures/Targets.h"
#include "support/Darkroom.h"
#include "support/HostRun.h"
#include "support/PrintSimulation.h"

namespace {

using host_tests::CDarkroom;
using host_tests::CFolder;

int DefaultTable(int input) { return (255 - input) * 4095 / 255; }

TEST(Targets, GreyScalePatchesCarryTheStepInputsInReadingOrder) {
    const std::vector<host::CPatch> patches = host::GreyScalePatches();
    ASSERT_EQ(patches.size(), 47u);
    EXPECT_EQ(patches[0].input, 255);
    for (int reading = 1; reading <= 46; ++reading)
        EXPECT_EQ(patches[reading].input, host::StepInput(46 - reading)) << reading;
    EXPECT_EQ(patches[1].input, 252);
    EXPECT_EQ(patches[46].input, 4);

    CFolder folder;
    CDarkroom darkroom(folder);
    const std::string grey = folder.Path("grey.bmp"), offset = folder.Path("zero.frm");
    host::WriteBitmap(grey, host::MakeGreyScale());
    darkroom.WriteZeroOffset(offset);
    // Every frame (all colours, all positions) shows each patch, whole and uniform, at the
    // exposure the table gives its input; a patch is at least 140 x 120 display pixels.
    for (int colour = 0; colour < 3; ++colour) {
        for (int position = 0; position < 4; ++position) {
            const simulation::CExposure shown = darkroom.Expose(grey, offset, colour, position);
            for (const host::CPatch& patch : patches) {
                const int left = patch.x / 2, top = patch.y / 2;
                const int right = (patch.x + patch.width) / 2,
                          bottom = (patch.y + patch.height) / 2;
                ASSERT_GE(right - left, 140);
                ASSERT_GE(bottom - top, 120);
                int wrong = 0;
                for (int line = top; line < bottom; ++line)
                    for (int column = left; column < right; ++column)
                        wrong +=
                            shown[line * simulation::kWidth + column] != DefaultTable(patch.input);
                EXPECT_EQ(wrong, 0) << "patch " << patch.reading << ", colour " << colour
                                    << ", position " << position;
            }
        }
    }
}

TEST(Targets, OffsetPatternMarksSitOnTheGridAsTheDisplayShowsIt) {
    CFolder folder;
    CDarkroom darkroom(folder);
    const std::string pattern = folder.Path("pattern.bmp"), offset = folder.Path("zero.frm");
    host::WriteBitmap(pattern, host::MakeOffsetPattern());
    darkroom.WriteZeroOffset(offset);
    for (int position = 0; position < 4; ++position) {
        const simulation::CExposure shown = darkroom.Expose(pattern, offset, 1, position);
        auto at = [&](int column, int line) { return shown[line * simulation::kWidth + column]; };
        // Frame row y is display line 1023 - y: the mark of map grid point (31 + 64 i,
        // 31 + 64 j) is one unexposed display pixel in the field.
        for (int i = 0; i < host::kGridColumns; ++i)
            for (int j = 0; j < host::kGridRows; ++j) {
                const int column = 31 + 64 * i, line = 1023 - (31 + 64 * j);
                EXPECT_EQ(at(column, line), 0);
                for (int d : {-1, 1}) {
                    EXPECT_EQ(at(column + d, line), DefaultTable(host::kDefaultFieldLevel));
                    EXPECT_EQ(at(column, line + d), DefaultTable(host::kDefaultFieldLevel));
                }
            }
        // The notch: the top line unexposed from column 64 to 447, exposed elsewhere.
        EXPECT_EQ(at(64, 0), 0);
        EXPECT_EQ(at(447, 0), 0);
        EXPECT_EQ(at(63, 0), DefaultTable(host::kDefaultFieldLevel));
        EXPECT_EQ(at(448, 0), DefaultTable(host::kDefaultFieldLevel));
        EXPECT_EQ(at(200, 1), DefaultTable(host::kDefaultFieldLevel));
    }
}

TEST(Targets, PeakSearchFindsEveryMarkOnAStraightScan) {
    // The scan plane prepared as the offset calculation prepares it (one colour byte through the
    // linear table, a quarter turn, straightened, border box), then the search around every
    // grid point's predicted place: the peak must be the mark's centre.
    CFolder folder;
    CDarkroom darkroom(folder);
    const std::string pattern = folder.Path("pattern.bmp"), offset = folder.Path("zero.frm"),
                      scanFile = folder.Path("scan.bmp");
    host::WriteBitmap(pattern, host::MakeOffsetPattern());
    darkroom.WriteZeroOffset(offset);
    simulation::CScanSettings settings;
    for (double scale : {1.0, 1.5, 2.0}) {
        settings.scale = scale;
        host::WriteBitmap(scanFile,
                          simulation::ExposeAndScan(darkroom.Expose(pattern, offset),
                                                    simulation::kRightPlacement, settings));
        CBitmapImage image;
        ASSERT_EQ(image.Load(scanFile), 0);
        CFrame scan;
        ASSERT_EQ(scan.LoadChannel(image, 1), 0);
        CLut table;
        table.MakeLinear(2000);
        table.Apply(scan);
        scan.SetEdgeThreshold(1800);
        scan.Rotate90();
        scan.CorrectGeometry();
        const CBorderBox box = scan.GetBorderBox();
        const int l = box.right - box.left, m = box.bottom - box.top;
        int misses = 0;
        for (int x = 31; x < 1280; x += 64)
            for (int y = 31; y < 1024; y += 64) {
                const CPoint peak =
                    scan.FindPeak(box.left + l * x / 1280, box.top + m * y / 1024, 20);
                // The mark's centre: the middle of display pixel (x, 1023 - y) in the turned scan.
                const double u = settings.margin + (x + 0.5) * scale;
                const double v = settings.margin + (y + 0.5) * scale;
                if (std::abs(peak.x + 0.5 - u) > 0.5 * scale + 0.5 ||
                    std::abs(peak.y + 0.5 - v) > 0.5 * scale + 0.5) {
                    ++misses;
                    ADD_FAILURE() << "scale " << scale << ": mark (" << x << ", " << y
                                  << ") expected near (" << u << ", " << v << "), peak at ("
                                  << peak.x << ", " << peak.y << ")";
                }
                if (misses > 5) return;
            }
    }
}

}  // namespace
