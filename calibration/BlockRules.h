// The offset calculation by block rules, as maps were made before the pixel rules: each grid cell
// of the map is resampled in blocks from between the marks found at its corners, the 3 x 3
// samples around each mark and the two outermost rows and columns are repaired. Its maps stay
// reproducible byte for byte. Each step is a function of its own so that it can be read, and
// tested, on its own.
#pragma once

#include <cstdint>

#include "image/Frame.h"

namespace kavrel::offset {

// Which peaks the grid measurement takes as marks: only those that can be one (a small spot well
// inside its search window, clearly above the window around it), the predicted point standing in
// for any other; or every peak as found, which a scan with all its marks present and sharp
// measures alike.
enum class EPeaks { MarksOnly, AsFound };

// Fills the map cell by cell from the scan: the interior cells, the four strips and the four
// corners, each resampled from between the marks found around it.
void MeasureGrid(CFrame& map, const CFrame& scan, const CBorderBox& box,
                 EPeaks peaks = EPeaks::MarksOnly);

// Replaces the 3 x 3 samples around every grid point, where the marks were measured, by samples
// ten rows away.
void PatchMarks(CFrame& map);
// "RepairMarksFirst" in section "Imaging" of the settings file, 1 when missing: the marks are
// repaired in the measured map before the smoothing; 0 repairs them in the finished map.
unsigned ReadRepairMarksFirst();

// The two outermost rows and columns take the values of the third row or column in from the edge.
void RepeatOuterRowsAndColumns(CFrame& map);

// Everything after the border box: measure, repair the marks, smooth, add the old map, repair the
// outer rows and columns, remove the mean and save the map to the file that it is named after.
void UpdateOffsetMapByBlocks(CFrame& map, const CFrame& scan, const CBorderBox& box);

}  // namespace kavrel::offset
