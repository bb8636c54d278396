// Why the print must lie on the scanner as calc-offset demands: a whole calibration loop on a
// simulated display with a known unevenness. The library exposes the offset test pattern through
// the current offset map onto a file display; the display's light makes a print, the print is
// scanned in one of its eight placements, the library computes the next offset map from the
// scan, and the host reloads it. Placed a quarter turn clockwise, the display grows more even
// with every calibration; placed any other way it grows less even.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "Bitmap.h"
#include "Files.h"
#include "Orientation.h"
#include "Targets.h"
#include "support/Darkroom.h"
#include "support/HostRun.h"
#include "support/PrintSimulation.h"

namespace {

using host_tests::CDarkroom;
using host_tests::CFolder;
using simulation::CPlacement;

// The display's unevenness before the first calibration and after each one.
std::vector<double> Calibrate(CPlacement placement, int calibrations) {
    CFolder folder;
    CDarkroom darkroom(folder);
    const std::string pattern = folder.Path("pattern.bmp"), offset = folder.Path("offset.frm"),
                      scan = folder.Path("scan.bmp");
    host::WriteBitmap(pattern, host::MakeOffsetPattern());
    darkroom.WriteZeroOffset(offset);
    std::vector<double> unevenness;
    for (int round = 0;; ++round) {
        const simulation::CExposure exposure = darkroom.Expose(pattern, offset);
        unevenness.push_back(simulation::Unevenness(exposure));
        if (round == calibrations) break;
        host::WriteBitmap(scan, simulation::ExposeAndScan(exposure, placement));
        darkroom.CalcOffset(scan, offset);
    }
    return unevenness;
}

std::string Describe(CPlacement placement, const std::vector<double>& unevenness) {
    std::string text = std::to_string(placement.quarterTurns) + " quarter turns" +
                       (placement.mirrored ? ", mirrored" : "") + ":";
    for (double u : unevenness) {
        char number[16];
        std::snprintf(number, sizeof number, " %.4f", u);
        text += number;
    }
    return text;
}

TEST(CalibrationLoop, TheQuarterTurnClockwiseEvensTheDisplayOut) {
    // The first calibrations take out most of the unevenness; the rest is the scanner's noise,
    // which each calibration measures anew.
    const std::vector<double> u = Calibrate(simulation::kRightPlacement, 3);
    std::printf("%s\n", Describe(simulation::kRightPlacement, u).c_str());
    EXPECT_LT(u[1], 0.5 * u[0]);
    EXPECT_LT(u[2], 0.5 * u[1]);
    EXPECT_LT(u[3], 0.25 * u[0]);
}

TEST(CalibrationLoop, EveryOtherPlacementMakesTheDisplayLessEven) {
    for (CPlacement placement : simulation::AllPlacements()) {
        if (placement.quarterTurns == 1 && !placement.mirrored) continue;
        const std::vector<double> u = Calibrate(placement, 2);
        std::printf("%s\n", Describe(placement, u).c_str());
        EXPECT_GT(u[1], u[0]) << Describe(placement, u);
        EXPECT_GT(u[2], 1.5 * u[0]) << Describe(placement, u);
    }
}

TEST(CalibrationLoop, AnEvenDisplayStaysEven) {
    // On a display without unevenness a calibration finds nothing to correct. A mark or the
    // notch outside the samples the calculation repairs would show in the map: only the light
    // the paper spreads around each mark reaches one sample beyond them.
    CFolder folder;
    CDarkroom darkroom(folder);
    const std::string pattern = folder.Path("pattern.bmp"), offset = folder.Path("offset.frm"),
                      scan = folder.Path("scan.bmp");
    host::WriteBitmap(pattern, host::MakeOffsetPattern());
    darkroom.WriteZeroOffset(offset);
    simulation::CScanSettings even;
    even.uneven = false;
    host::WriteBitmap(scan, simulation::ExposeAndScan(darkroom.Expose(pattern, offset),
                                                      simulation::kRightPlacement, even));
    darkroom.CalcOffset(scan, offset);
    const host::COffsetMap map = host::ParseOffsetFile(offset, host::ReadWholeFile(offset));
    int far = 0, near = 0;
    for (int y = 0; y < map.height; ++y)
        for (int x = 0; x < map.width; ++x) {
            // Within two samples of a grid point (31 + 64 i, 31 + 64 j)?
            const bool nearMark = std::abs((x + 32) % 64 - 63) <= 2 || std::abs((x + 32) % 64) <= 2;
            const bool nearRow = std::abs((y + 32) % 64 - 63) <= 2 || std::abs((y + 32) % 64) <= 2;
            int& worst = nearMark && nearRow ? near : far;
            worst = std::max(worst, std::abs(static_cast<int>(map.At(x, y))));
        }
    std::printf("largest offset away from the marks %d, next to them %d\n", far, near);
    // Scanner noise of +-1.5 bytes is +-12 levels; a mark's own light would be hundreds.
    EXPECT_LE(far, 25);
    EXPECT_LE(near, 100);
}

}  // namespace
