// What both rules of the offset calculation use: the map's grid and where it lies in the scan,
// whether the exposed area can be measured at all, which peaks are grid marks, and the steps that
// turn a measured map into the new offset map (the configured smoothing, the old map added).
#pragma once

#include <cstdint>
#include <functional>

#include "image/Frame.h"

namespace kavrel::offset {

// Search radius, in scan samples, around a grid point predicted from the border box alone.
constexpr int32_t kWideSearch = 20;

// The grid of the map, from its members: grid points at x + i * stepX, y + j * stepY.
struct CMapGrid {
    explicit CMapGrid(const CFrame& map);

    int32_t width, height;  // W, H
    int32_t x, y;           // the first grid point
    int32_t stepX, stepY;
    int32_t columns, rows;  // grid points across and down
    int32_t right, bottom;  // Xr and Yb: one past the last grid column and row

    int32_t PointX(int32_t i) const { return x + i * stepX; }
    int32_t PointY(int32_t j) const { return y + j * stepY; }
    // Whether the grid has the two points across and down that interpolation needs.
    bool Usable() const;
};

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

// Whether the brightest sample `peak` of the FindPeak window around (x, y) can be a grid mark. A
// mark is a small bright spot well inside its window: a sample on the window's outer rows or
// columns is the edge of something larger (or of a mark predicted too far off to measure from),
// and one that does not stand well above the mean of the window around it (six standard
// deviations and eight levels) is noise where a mark is missing (dust, a faint mark). The
// samples within radius / 4 of the peak, where a mark's own light lies, are left out of the mean.
// Integer arithmetic, so that every build decides alike.
bool IsMark(const CFrame& scan, int32_t x, int32_t y, int32_t radius, CPoint peak);

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

}  // namespace kavrel::offset
