// What a measured map can tell: the scanner's noise, estimated from the field of the measurement
// itself, and a filter that keeps of the measurement only what stands above that noise. Added
// to the map calibration after calibration, noise would otherwise be integrated into it; fine
// detail that the print resolves (a panel's bands a dozen pixels wide) stands far above it and
// is kept.
#pragma once

#include <cstdint>

#include "calibration/MarkGrid.h"
#include "calibration/WorkPlane.h"

namespace kavrel::offset {

// The standard deviation of the noise of one measured map sample: from the differences of
// neighbouring samples in 2 x 2 blocks ((a - b - c + d) / 2, which leaves smooth unevenness
// out and has the samples' own deviation for independent noise), taken robustly (the median of
// their sizes) over the field between the outermost marks, away from the repaired marks.
double EstimateSampleNoise(const CWorkPlane& measured, const CMapGrid& grid,
                           int32_t markRadiusSquared);

// The least noise of one measured map sample that the scan's levels allow: a scan sample is
// rounded to its byte, which the scaling spreads to steps of a few levels, and the rounding
// scatters like noise of step / sqrt(12), averaged over the scan samples of one map sample.
// Without it, a scan with no noise of its own would let its rounding pattern into the map.
// The step is read from the levels that the middle of the scan takes; 0 when it shows none.
double RoundingNoise(const CFrame& scan, const CMarkGrid& marks);

// Splits the measurement into its coarse part (a Gaussian blur of two samples, over the samples
// inside the edge band, which only repeat others) and its fine rest, and shrinks each toward zero
// by its own noise level (a non-negative garrote at three times the part's noise deviation): a
// deviation far above the noise passes almost whole, one within it is left out. The coarse part is
// taken about its mean over the field. False, with the measurement unchanged, when no buffer
// could be had.
bool KeepWhatStandsAboveNoise(CWorkPlane& measured, const CMapGrid& grid, double sampleNoise,
                              int32_t edgeBand);

}  // namespace kavrel::offset
