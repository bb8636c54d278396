// The offset map measured display pixel by display pixel: every map sample is the mean of the
// scan over that pixel's own place, so that no sample stands for light a pixel or two away and
// repeated calibrations do not shift fine patterns into the map. The light that the print
// spreads around the marks and from the edges of the picture is measured from the marks, and
// the samples that it reaches are repaired.
#pragma once

#include <cstdint>

#include "calibration/MarkGrid.h"
#include "calibration/WorkPlane.h"
#include "image/Frame.h"

namespace kavrel::offset {

// Fills `measured` (the map's size) with the mean of the scan over each map sample's place.
void MeasureEveryPixel(const CMarkGrid& marks, const CFrame& scan, CWorkPlane& measured);

// How far the print spreads light, as measured around the marks.
struct CPrintSpread {
    // Map samples within this squared distance of a grid point carry some of its mark's light.
    int32_t markRadiusSquared = 2;
    // So many rows and columns along each edge carry the light that the print spreads from
    // (or misses beyond) the edge of the picture.
    int32_t edgeBand = 2;
};

// The share of a mark's light that reaches each sample around it, from the mean profile of all
// found marks in the measured map; a sample takes part where its share reaches a thousandth, an
// edge row or column where the light of a line of marks would reach a thousandth. At least the 3 x 3
// samples around each mark and the two outermost rows and columns.
CPrintSpread EstimatePrintSpread(const CWorkPlane& measured, const CMarkGrid& marks);

// Replaces the samples within the mark radius of every grid point by the mean of the ring of
// samples just outside it.
void RepairMarks(CWorkPlane& plane, const CMapGrid& grid, int32_t radiusSquared);
void RepairMarks(CFrame& map, const CMapGrid& grid, int32_t radiusSquared);

// The outermost `band` rows and columns take the values of the next one in.
void RepeatEdges(CWorkPlane& plane, int32_t band);
void RepeatEdges(CFrame& map, int32_t band);

}  // namespace kavrel::offset
