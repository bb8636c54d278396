// The whole offset calibration loop in a darkroom: the library exposes the offset test pattern
// through the current offset map onto a file display, the display's light makes a print, the
// print is scanned, and the library computes the next offset map from the scan.
#pragma once

#include <string>
#include <vector>

#include "support/Darkroom.h"
#include "support/HostRun.h"
#include "support/PrintSimulation.h"

namespace host_tests {

// A darkroom with the offset test pattern and an offset file of zeros: the display without
// correction. Each round exposes the pattern through the offset file, or scans a print of an
// exposure and calibrates the offset file from it.
struct CCalibrationLoop {
    CCalibrationLoop();
    simulation::CExposure Expose();
    void Calibrate(const simulation::CExposure& exposure, simulation::CPlacement placement,
                   const simulation::CScanSettings& settings = {});

    CFolder folder;
    CDarkroom darkroom{folder};
    const std::string pattern = folder.Path("pattern.bmp");
    const std::string offset = folder.Path("offset.frm");
    const std::string scan = folder.Path("scan.bmp");
};

// The display's evenness after each of a number of calibrations from prints lying right on the
// scanner, made and scanned as the settings say, and calibrated with the correction factor, with the marks at the given grid points missing
// from every print.
// The first entry is the display before any calibration.
std::vector<simulation::CEvenness> CalibrateRepeatedly(
    const simulation::CScanSettings& settings, int calibrations,
    const std::vector<simulation::CGridPoint>& missing = {}, int correctionFactor = 100);

}  // namespace host_tests
