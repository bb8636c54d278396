// The offset calculation by pixel rules, in the order of its steps: locate the marks, measure
// every map sample, repair the marks and edges, keep what stands above the noise, then smooth,
// add the old map, repair the sum, remove the mean and save.
#include "calibration/PixelRules.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>

#include "calibration/CommonSteps.h"
#include "calibration/MarkGrid.h"
#include "calibration/NoiseFilter.h"
#include "calibration/PixelMeasurement.h"
#include "calibration/WorkPlane.h"

namespace kavrel::offset {

namespace {

// The map's increment, measured from the scan and freed of what the marks, the edges and the
// noise put into it; false when the grid cannot be located or a buffer is missing.
bool MeasureIncrement(const CFrame& map, const CFrame& scan, const CBorderBox& box,
                      CWorkPlane& increment, CPrintSpread& spread) {
    const CMarkGrid marks(map, scan, box);
    if (!marks.Grid().Usable() || !increment.HasData()) return false;
    MeasureEveryPixel(marks, scan, increment);
    spread = EstimatePrintSpread(increment, marks);
    // The light of the marks and of the picture's edges is no measure of the display: the
    // samples it reaches take their values from beyond it before anything spreads them further.
    RepairMarks(increment, marks.Grid(), spread.markRadiusSquared);
    RepeatEdges(increment, spread.edgeBand);
    const double noise =
        std::max(EstimateSampleNoise(increment, marks.Grid(), spread.markRadiusSquared),
                 RoundingNoise(scan, marks));
    return KeepWhatStandsAboveNoise(increment, marks.Grid(), noise, spread.edgeBand);
}

// v rounded to the nearest integer, halves away from zero, as std::lround rounds it: a float of
// magnitude below 2^23 less its integer part is exact, and from 2^23 on a float is an integer.
int32_t RoundToInt(float v) {
    constexpr float kNearZero = 1e9f;
    if (!(v > -kNearZero && v < kNearZero)) return static_cast<int32_t>(std::lround(v));
    const int32_t truncated = static_cast<int32_t>(v);
    const float fraction = v - static_cast<float>(truncated);
    return truncated + (fraction >= 0.5f ? 1 : 0) - (fraction <= -0.5f ? 1 : 0);
}

// The map's samples, each the increment rounded to the nearest level (the map has the
// increment's size).
void WriteRounded(const CWorkPlane& increment, CFrame& map) {
    const float* from = increment.Data();
    uint16_t* to = map.m_pData.get();
    const size_t count = std::min(increment.Count(), static_cast<size_t>(map.m_nCount));
    for (size_t i = 0; i < count; ++i) to[i] = static_cast<uint16_t>(RoundToInt(from[i]));
}

}  // namespace

void UpdateOffsetMapByPixels(CFrame& map, const CFrame& scan, const CBorderBox& box) {
    if (!map.HasData() || map.m_nCols != map.m_nNominalWidth || map.m_nRows != map.m_nNominalHeight)
        return;
    CPrintSpread spread;
    {
        CWorkPlane increment(map.m_nCols, map.m_nRows);
        if (!MeasureIncrement(map, scan, box, increment, spread)) return;
        WriteRounded(increment, map);
    }
    if (!SmoothAsConfigured(map, ReadUnsharpenOffset) || !AddOldMap(map)) return;
    // The same repairs in the sum, so that a map made by other rules, or before the print's
    // spread was known, loses what it holds at the marks and the edges.
    const CMapGrid grid(map);
    RepeatEdges(map, spread.edgeBand);
    RepairMarks(map, grid, spread.markRadiusSquared);
    map.AddConstant(-map.Mean());
    map.Save(map.m_strFileName);
}

}  // namespace kavrel::offset
