#include "support/CalibrationLoop.h"

#include "pictures/Bitmap.h"
#include "pictures/Targets.h"

namespace host_tests {

CCalibrationLoop::CCalibrationLoop() {
    host::WriteBitmap(pattern, host::MakeOffsetPattern());
    darkroom.WriteZeroOffset(offset);
}

simulation::CExposure CCalibrationLoop::Expose() { return darkroom.Expose(pattern, offset); }

void CCalibrationLoop::Calibrate(const simulation::CExposure& exposure,
                                 simulation::CPlacement placement,
                                 const simulation::CScanSettings& settings) {
    host::WriteBitmap(scan, simulation::ExposeAndScan(exposure, placement, settings));
    darkroom.CalcOffset(scan, offset);
}

std::vector<simulation::CEvenness> CalibrateRepeatedly(
    const simulation::CScanSettings& settings, int calibrations,
    const std::vector<simulation::CGridPoint>& missing, int correctionFactor) {
    CCalibrationLoop loop;
    loop.darkroom.SetCorrectionFactor(correctionFactor);
    simulation::CExposure exposure = loop.Expose();
    std::vector<simulation::CEvenness> after{simulation::Evenness(exposure)};
    for (int round = 1; round <= calibrations; ++round) {
        // Every scan has noise of its own.
        simulation::CScanSettings scan = settings;
        scan.seed = settings.seed + static_cast<uint32_t>(round);
        loop.Calibrate(simulation::WithoutMarks(exposure, missing), simulation::kRightPlacement,
                       scan);
        exposure = loop.Expose();
        after.push_back(simulation::Evenness(exposure));
    }
    return after;
}

}  // namespace host_tests
