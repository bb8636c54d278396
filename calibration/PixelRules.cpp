// The offset calculation by pixel rules, in the order of its steps: locate the marks, measure
// every map sample, repair the marks and edges, keep what stands above the noise, then smooth,
// add the old map, repair the sum, remove the mean and save.
#include "calibration/PixelRules.h"

#include <algorithm>
#include <cmath>
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

// The map's samples, each the increment rounded to the nearest level.
void WriteRounded(const CWorkPlane& increment, CFrame& map) {
    for (int32_t y = 0; y < map.m_nRows; ++y)
        for (int32_t x = 0; x < map.m_nCols; ++x)
            map.SetPixel(x, y, static_cast<int32_t>(std::lround(increment.At(x, y))));
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
