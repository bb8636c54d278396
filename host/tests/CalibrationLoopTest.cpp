// Why the print must lie on the scanner as calc-offset demands: a whole calibration loop on a
// simulated display with a known unevenness. The library exposes the offset test pattern through
// the current offset map onto a file display; the display's light makes a print, the print is
// scanned in one of its eight placements, the library computes the next offset map from the
// scan, and the host reloads it. Placed a quarter turn clockwise, the display grows more even
// with every calibration; placed any other way it grows less even.
#include <gtest/gtest.h>

#include <cstdio>

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
    const std::vector<double> u = Calibrate(simulation::kRightPlacement, 3);
    std::printf("%s\n", Describe(simulation::kRightPlacement, u).c_str());
    for (size_t i = 1; i < u.size(); ++i) EXPECT_LT(u[i], 0.6 * u[i - 1]) << i;
    EXPECT_LT(u.back(), 0.1 * u.front());
}

TEST(CalibrationLoop, EveryOtherPlacementMakesTheDisplayLessEven) {
    for (CPlacement placement : simulation::AllPlacements()) {
        if (placement.quarterTurns == 1 && !placement.mirrored) continue;
        const std::vector<double> u = Calibrate(placement, 2);
        std::printf("%s\n", Describe(placement, u).c_str());
        EXPECT_GT(u[1], 1.2 * u[0]) << Describe(placement, u);
        EXPECT_GT(u[2], u[1]) << Describe(placement, u);
    }
}

TEST(CalibrationLoop, AnEvenDisplayStaysEvenAndTheMarksLeaveNoTrace) {
    // On a display without unevenness, a calibration finds nothing to correct: if a mark or the
    // notch lay outside the samples the calculation repairs, the map would show it.
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
    int low = 0, high = 0;
    for (int16_t sample : map.samples) {
        low = std::min<int>(low, sample);
        high = std::max<int>(high, sample);
    }
    // Scanner noise of +-1.5 bytes is +-12 levels; a mark would stand out by hundreds.
    EXPECT_GE(low, -25);
    EXPECT_LE(high, 25);
}

}  // namespace
