// Where each sample of the offset map lies in the scan, to a fraction of a scan sample: the grid
// marks are located by the centre of their light, and every map sample's place is interpolated
// between the four marks around it (beyond the outermost marks, extrapolated from the outermost
// cell).
#pragma once

#include <cstdint>
#include <vector>

#include "base/NonCopyable.h"
#include "calibration/CommonSteps.h"
#include "image/Frame.h"

namespace kavrel::offset {

// A place in the scan plane, in samples: sample (x, y) covers x .. x + 1 across and y .. y + 1
// down, so that its centre lies at (x + 0.5, y + 0.5).
struct CScanPlace {
    double x;
    double y;
};

class CMarkGrid : private CNonCopyable {
public:
    // Locates the mark of every grid point: searched as the block measurement searches it,
    // around its place predicted from the border box, then measured by the centre of its light
    // above the background around it. A mark that is not found, or lies more than a map sample
    // away from where the others put it, takes the place that the affine fit of the others
    // gives (the border box's, when fewer than three are found).
    CMarkGrid(const CFrame& map, const CFrame& scan, const CBorderBox& box);
    virtual ~CMarkGrid() = default;

    const CMapGrid& Grid() const { return m_Grid; }
    bool Found(int32_t i, int32_t j) const { return m_Found[Index(i, j)]; }
    int32_t FoundCount() const;
    CScanPlace Mark(int32_t i, int32_t j) const { return m_Places[Index(i, j)]; }

    // Where a map column or row lies among the grid's cells: the cell's first grid column or row,
    // and how far into the cell (0..1 inside it, beyond that outside the outermost marks).
    struct CCellPlace {
        int32_t cell;
        double fraction;
    };
    CCellPlace Column(int32_t x) const;
    CCellPlace Row(int32_t y) const;

    // A map sample's centre in the scan, and its extent there in scan samples across and down.
    struct CSamplePlace {
        CScanPlace centre;
        double across, down;
    };
    // The sample in map column `column` and map row `row`, placed by the marks of its cell.
    CSamplePlace Place(CCellPlace column, CCellPlace row) const;

    // The same in parts, for placing many samples: what depends on the column and the row of
    // cells alone (where the column meets the lines between the cell's upper and its lower marks,
    // and the extent down), what depends on the column of cells and the row alone (the extent
    // across), and the centre from the first part and the row.
    struct CColumnInCells {
        CScanPlace upper, lower;
        double down;
    };
    CColumnInCells ColumnInCells(CCellPlace column, int32_t cellRow) const;
    double ExtentAcross(int32_t cellColumn, CCellPlace row) const;
    static CScanPlace Centre(const CColumnInCells& column, CCellPlace row) {
        const double u = row.fraction;
        return CScanPlace{(1 - u) * column.upper.x + u * column.lower.x,
                          (1 - u) * column.upper.y + u * column.lower.y};
    }

    // The centre of map sample (x, y) in the scan, and the extent of that sample there in scan
    // samples across and down.
    CScanPlace Centre(int32_t x, int32_t y) const;
    void Extent(int32_t x, int32_t y, double& across, double& down) const;

private:
    size_t Index(int32_t i, int32_t j) const {
        return static_cast<size_t>(j) * m_Grid.columns + i;
    }

    CMapGrid m_Grid;
    std::vector<CScanPlace> m_Places;
    std::vector<bool> m_Found;
};

// The centre of the light of the mark whose brightest sample is `peak`, in a scan with about
// `across` x `down` scan samples per map sample: the light above the background ring around it,
// less the ring's noise, weighted by place. False when nothing stands above the background.
bool MarkCentre(const CFrame& scan, CPoint peak, double across, double down, CScanPlace& centre);

}  // namespace kavrel::offset
