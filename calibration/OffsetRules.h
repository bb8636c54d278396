// The choice between the two rules by which a calibration turns the scan into the offset map.
#pragma once

#include "image/Frame.h"

namespace kavrel::offset {

// The rules by which a calibration measures the scan, "CalibrationRules" in section "Imaging"
// of the settings file, read on every calibration:
// - kPixelRules (the default, and any value but 1): every map sample is measured at its own
//   display pixel's place between the marks (calibration/PixelRules.h);
// - kBlockRules: each grid cell is resampled in blocks from between the marks found at its
//   corners, as maps were made before (calibration/BlockRules.h).
constexpr unsigned kBlockRules = 1;
constexpr unsigned kPixelRules = 2;
unsigned ReadCalibrationRules();

// Everything after the border box, by the rules that the settings file gives.
void UpdateOffsetMap(CFrame& map, const CFrame& scan, const CBorderBox& box);

}  // namespace kavrel::offset
