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

// Whether the brightest sample `peak` of the FindPeak window around (x, y) can be a grid mark. A
// mark is a small bright spot well inside its window: a sample on the window's outer rows or
// columns is the edge of something larger (or of a mark predicted too far off to measure from),
// and one that does not stand well above the mean of the window around it (six standard
// deviations and eight levels) is noise where a mark is missing (dust, a faint mark). The
// samples within radius / 4 of the peak, where a mark's own light lies, are left out of the mean.
// Integer arithmetic, so that every build decides alike.
bool IsMark(const CFrame& scan, int32_t x, int32_t y, int32_t radius, CPoint peak);

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

// The rules by which a calibration measures the scan, "CalibrationRules" in section "Imaging"
// of the settings file, read on every calibration:
// - kPixelRules (the default, and any value but 1): every map sample is measured at its own
//   display pixel's place between the marks, the light that the print spreads around the marks
//   and the edges is left out as far as it reaches, and only what the scan resolves above its
//   noise changes the map;
// - kBlockRules: each grid cell is resampled in blocks from between the marks found at its
//   corners, the 3 x 3 samples around each mark and the two outermost rows and columns repaired,
//   as maps were made before; its maps stay reproducible byte for byte.
constexpr unsigned kBlockRules = 1;
constexpr unsigned kPixelRules = 2;
unsigned ReadCalibrationRules();

// Everything after the border box by block rules: measure, repair the marks, smooth, add the old
// map, repair the outer rows and columns, remove the mean and save the map to the file that it is
// named after.
void UpdateOffsetMapByBlocks(CFrame& map, const CFrame& scan, const CBorderBox& box);
// The same by pixel rules: measure every sample at its place, repair what the marks' and edges'
// light reaches, keep what stands above the noise, smooth as configured, add the old map, repair
// the sum alike, remove the mean and save. The file stays as it was when a buffer is missing.
void UpdateOffsetMapByPixels(CFrame& map, const CFrame& scan, const CBorderBox& box);
// By the rules that the settings file gives.
void UpdateOffsetMap(CFrame& map, const CFrame& scan, const CBorderBox& box);

}  // namespace kavrel::offset
