// The second half of the offset calculation: measuring the grid cells of the prepared scan into
// the new map, and turning that measurement into the offset file. Each step is a function of its
// own so that it can be read, and tested, on its own.
#pragma once

#include <cstdint>
#include <functional>

#include "image/Frame.h"

namespace kavrel::offset {

// Where the map's columns and rows lie in the scan, from the border box of the exposed area:
// map column x at scan column left + l * x / W, map row y at top + m * y / H (l and m the box's
// width and height, W and H the map's nominal size), in 32-bit arithmetic, product first.
class CGridMapping {
public:
    CGridMapping(const CFrame& map, const CBorderBox& box);
    virtual ~CGridMapping() = default;

    int32_t ScanX(int32_t mapX) const;
    int32_t ScanY(int32_t mapY) const;
    // A map distance across or down, in scan columns or rows.
    int32_t dX(int32_t distance) const;
    int32_t dY(int32_t distance) const;

private:
    CBorderBox m_Box;
    int32_t m_nScanWidth;
    int32_t m_nScanHeight;
    int32_t m_nMapWidth;
    int32_t m_nMapHeight;
};

// The smallest extent of the exposed area, in scan samples, that measures a map extent: 1.1 scan
// samples per map sample. Coarser scans lose the marks between samples and the blocks between
// them, and calibration after calibration would drift.
int32_t MinimumScanExtent(int32_t mapExtent);

// Whether the exposed area can be measured: at least MinimumScanExtent wide and high (one less
// than the number of exposed columns and rows), and small enough that its products with the map's size fit
// in 32 bits, so that no predicted grid position wraps around.
bool IsMeasurable(const CBorderBox& box, const CFrame& map);

// Which peaks the grid measurement takes as marks: only those that can be one (a small spot well
// inside its search window, clearly above the window around it), the predicted point standing in
// for any other; or every peak as found, which a scan with all its marks present and sharp
// measures alike.
enum class EPeaks { MarksOnly, AsFound };

// Fills the map cell by cell from the scan: the interior cells, the four strips and the four
// corners, each resampled from between the marks found around it.
void MeasureGrid(CFrame& map, const CFrame& scan, const CBorderBox& box,
                 EPeaks peaks = EPeaks::MarksOnly);

// Smooths the map as the setting says: 1 diagonally, 2 vertically, anything else not at all.
// The setting is read once for each of the two choices. False when the smoothing asked for could
// not get its buffer (the map is then as it was).
bool SmoothAsConfigured(CFrame& map, const std::function<unsigned()>& readSetting);
// "UnsharpenOffset" in section "Imaging" of the settings file, 1 when missing.
unsigned ReadUnsharpenOffset();

// Adds the map stored in the file that the map is named after (reporting "Add"); a file that is
// missing, unreadable or of another size adds nothing. False, with nothing added, when the file
// holds a map but no buffer could be had to read it.
bool AddOldMap(CFrame& map);

// The two outermost rows and columns take the values of the third row or column in from the edge.
void RepeatOuterRowsAndColumns(CFrame& map);

// Replaces the 3 x 3 samples around every grid point, where the marks were measured, by samples
// ten rows away.
void PatchMarks(CFrame& map);
// "RepairMarksFirst" in section "Imaging" of the settings file, 1 when missing: the marks are
// repaired in the measured map before the smoothing; 0 repairs them in the finished map.
unsigned ReadRepairMarksFirst();

// Everything after the border box: measure, repair the marks, smooth, add the old map, repair the
// outer rows and columns, remove the mean and save the map to the file that it is named after.
void UpdateOffsetMap(CFrame& map, const CFrame& scan, const CBorderBox& box);

}  // namespace kavrel::offset
