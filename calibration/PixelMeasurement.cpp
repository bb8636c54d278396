// Measuring the map pixel by pixel, and the print's spread around the marks and edges.
#include "calibration/PixelMeasurement.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

namespace kavrel::offset {

namespace {

// A sample takes part in a mark's repair where it carries this share of the mark's light, and an
// edge row or column where a line of marks would give it this share.
constexpr double kMarkShare = 0.001;
constexpr double kLineShare = 0.001;
// The profile of the marks is read this far around each grid point, its background from the
// two rings of samples beyond.
constexpr int32_t kProfileRadius = 6;
// The repairs never reach further than this: further out lies the next cell's measurement.
constexpr int32_t kLargestMarkRadiusSquared = 25;
constexpr int32_t kWidestEdgeBand = 8;
// A map sample's extent in the scan is kept within these bounds, in scan samples: marks placed
// absurdly (a scan that is no print of the pattern) then cost no more than a fine scan.
constexpr double kNarrowestExtent = 0.1;
constexpr double kWidestExtent = 32;

// The scan samples that cover the stretch from `from` to `to` (continuous places), and how much
// of each lies inside it.
// Within kNearZero of 0 the quotient rounded toward zero needs only one step to floor or ceil; the
// library's floor and ceil take many more instructions without SSE4.1.
constexpr double kNearZero = 1e9;
int32_t FloorToInt(double v) {
    if (v <= -kNearZero || v >= kNearZero || v != v) return static_cast<int32_t>(std::floor(v));
    const int32_t truncated = static_cast<int32_t>(v);
    return truncated - (v < truncated ? 1 : 0);
}
int32_t CeilToInt(double v) {
    if (v <= -kNearZero || v >= kNearZero || v != v) return static_cast<int32_t>(std::ceil(v));
    const int32_t truncated = static_cast<int32_t>(v);
    return truncated + (v > truncated ? 1 : 0);
}

struct CCover {
    double from, to;
    int32_t First() const { return FloorToInt(from); }
    int32_t Last() const { return std::max(First(), CeilToInt(to) - 1); }
    double Weight(int32_t k) const {
        return std::max(std::min(to, double(k + 1)) - std::max(from, double(k)), 0.0);
    }
};

// The samples of a cover `Columns` wide that lies inside the scan, row after row from `first`:
// their weighted sum and their weights, added in the same order as a cover of any size adds
// them, with the columns' weights kept in registers.
template <int32_t Columns>
double MeanInside(const uint16_t* first, int32_t stride, const double* weights, const CCover& cy,
                  int32_t firstRow, int32_t lastRow) {
    double across[Columns];
    std::copy(weights, weights + Columns, across);
    double sum = 0, weight = 0;
    for (int32_t b = firstRow; b <= lastRow; ++b, first += stride) {
        const double down = cy.Weight(b);
#pragma GCC unroll 4
        for (int32_t k = 0; k < Columns; ++k) {
            const double w = across[k] * down;
            sum += w * static_cast<int16_t>(first[k]);
            weight += w;
        }
    }
    return weight > 0 ? sum / weight : 0;
}

// The mean of the scan samples that cover cx across and cy down, each weighted by how much of
// it lies inside; samples beyond the scan's edges repeat the outermost ones. 0 when nothing is
// covered.
double CoveredMean(const CFrame& scan, const CCover& cx, const CCover& cy) {
    const int32_t cols = scan.m_nCols, rows = scan.m_nRows;
    const uint16_t* samples = scan.m_pData.get();
    const int32_t first = cx.First();
    const int64_t count = int64_t{cx.Last()} - first + 1;
    const int32_t firstRow = cy.First(), lastRow = cy.Last();
    // The usual cover: a few columns, all inside the scan.
    constexpr int64_t kMostInside = 4;
    if (count <= kMostInside && first >= 0 && first + count <= cols && firstRow >= 0 &&
        lastRow < rows) {
        double weights[kMostInside];
        for (int32_t k = 0; k < count; ++k) weights[k] = cx.Weight(first + k);
        const uint16_t* at = samples + static_cast<size_t>(firstRow) * cols + first;
        switch (count) {
            case 1: return MeanInside<1>(at, cols, weights, cy, firstRow, lastRow);
            case 2: return MeanInside<2>(at, cols, weights, cy, firstRow, lastRow);
            case 3: return MeanInside<3>(at, cols, weights, cy, firstRow, lastRow);
            default: return MeanInside<4>(at, cols, weights, cy, firstRow, lastRow);
        }
    }
    // Row by row; `across(k)` and `column(k)` are the weight and the place of the k-th column.
    auto sumRows = [&](auto across, auto column) {
        double sum = 0, weight = 0;
        for (int32_t b = firstRow; b <= lastRow; ++b) {
            const uint16_t* row = samples + static_cast<size_t>(std::clamp(b, 0, rows - 1)) * cols;
            const double down = cy.Weight(b);
            for (int64_t k = 0; k < count; ++k) {
                const double w = across(k) * down;
                sum += w * static_cast<int16_t>(row[column(k)]);
                weight += w;
            }
        }
        return weight > 0 ? sum / weight : 0;
    };
    // The columns' weights and places are worked out once for all rows; a cover wider than any
    // that the extent's bounds allow takes them as it goes.
    constexpr int64_t kMostColumns = 40;
    auto place = [&](int64_t k) { return std::clamp(static_cast<int32_t>(first + k), 0, cols - 1); };
    if (count > kMostColumns)
        return sumRows([&](int64_t k) { return cx.Weight(static_cast<int32_t>(first + k)); }, place);
    double across[kMostColumns];
    int32_t column[kMostColumns];
    for (int64_t k = 0; k < count; ++k) {
        across[k] = cx.Weight(static_cast<int32_t>(first + k));
        column[k] = place(k);
    }
    return sumRows([&](int64_t k) { return across[k]; }, [&](int64_t k) { return column[k]; });
}

// The mean of `plane` over the ring of samples beyond the mark radius of (x, y) and within two
// samples of it, inside the plane; false when the ring lies wholly outside.
template <class Plane>
bool RingMean(const Plane& plane, int32_t width, int32_t height, int32_t x, int32_t y,
              int32_t radiusSquared, double& mean) {
    const double outer = std::sqrt(double(radiusSquared)) + 2;
    const int32_t reach = static_cast<int32_t>(std::ceil(outer));
    double sum = 0;
    int64_t count = 0;
    for (int32_t dy = -reach; dy <= reach; ++dy)
        for (int32_t dx = -reach; dx <= reach; ++dx) {
            const int32_t d = dx * dx + dy * dy;
            if (d <= radiusSquared || d > outer * outer) continue;
            const int32_t u = x + dx, v = y + dy;
            if (u < 0 || v < 0 || u >= width || v >= height) continue;
            sum += plane.Get(u, v);
            ++count;
        }
    if (count == 0) return false;
    mean = sum / count;
    return true;
}

template <class Plane>
void RepairMarksOf(Plane& plane, int32_t width, int32_t height, const CMapGrid& grid,
                   int32_t radiusSquared) {
    const int32_t reach = static_cast<int32_t>(std::ceil(std::sqrt(double(radiusSquared))));
    for (int32_t j = 0; j < grid.rows; ++j)
        for (int32_t i = 0; i < grid.columns; ++i) {
            const int32_t x = grid.PointX(i), y = grid.PointY(j);
            double mean = 0;
            if (!RingMean(plane, width, height, x, y, radiusSquared, mean)) continue;
            for (int32_t dy = -reach; dy <= reach; ++dy)
                for (int32_t dx = -reach; dx <= reach; ++dx) {
                    const int32_t u = x + dx, v = y + dy;
                    if (dx * dx + dy * dy > radiusSquared || u < 0 || v < 0 || u >= width ||
                        v >= height)
                        continue;
                    plane.Set(u, v, mean);
                }
        }
}

template <class Plane>
void RepeatEdgesOf(Plane& plane, int32_t width, int32_t height, int32_t band) {
    band = std::min({band, width / 2 - 1, height / 2 - 1});
    if (band <= 0) return;
    for (int32_t x = 0; x < width; ++x)
        for (int32_t k = 0; k < band; ++k) {
            plane.Set(x, k, plane.Get(x, band));
            plane.Set(x, height - 1 - k, plane.Get(x, height - 1 - band));
        }
    for (int32_t y = 0; y < height; ++y)
        for (int32_t k = 0; k < band; ++k) {
            plane.Set(k, y, plane.Get(band, y));
            plane.Set(width - 1 - k, y, plane.Get(width - 1 - band, y));
        }
}

struct CWorkAccess {
    CWorkPlane& plane;
    double Get(int32_t x, int32_t y) const { return plane.At(x, y); }
    void Set(int32_t x, int32_t y, double v) { plane.At(x, y) = static_cast<float>(v); }
};

// The map's samples as signed corrections; repaired values rounded to the nearest level.
struct CFrameAccess {
    CFrame& map;
    double Get(int32_t x, int32_t y) const { return map.GetPixel(x, y); }
    void Set(int32_t x, int32_t y, double v) {
        map.SetPixel(x, y, static_cast<int32_t>(std::lround(v)));
    }
};

}  // namespace

void MeasureEveryPixel(const CMarkGrid& marks, const CFrame& scan, CWorkPlane& measured) {
    if (!scan.HasData() || !measured.HasData() || scan.m_nCols <= 0 || scan.m_nRows <= 0) return;
    const int32_t width = measured.Width();
    auto halfExtent = [](double extent) {
        return std::clamp(extent, kNarrowestExtent, kWidestExtent) / 2;
    };
    // What a sample's place depends on is worked out once: for every column, once per row of
    // cells; for every column of cells, once per row.
    std::vector<CMarkGrid::CCellPlace> columns(static_cast<size_t>(width));
    for (int32_t x = 0; x < width; ++x) columns[x] = marks.Column(x);
    std::vector<CMarkGrid::CColumnInCells> inCells(static_cast<size_t>(width));
    std::vector<double> halfDown(static_cast<size_t>(width));
    std::vector<double> halfAcross(static_cast<size_t>(std::max(marks.Grid().columns - 1, 0)));
    int32_t cellRow = -1;
    for (int32_t y = 0; y < measured.Height(); ++y) {
        const CMarkGrid::CCellPlace row = marks.Row(y);
        if (row.cell != cellRow) {
            cellRow = row.cell;
            for (int32_t x = 0; x < width; ++x) {
                inCells[x] = marks.ColumnInCells(columns[x], cellRow);
                halfDown[x] = halfExtent(inCells[x].down);
            }
        }
        for (size_t i = 0; i < halfAcross.size(); ++i)
            halfAcross[i] = halfExtent(marks.ExtentAcross(static_cast<int32_t>(i), row));
        float* out = &measured.At(0, y);
        for (int32_t x = 0; x < width; ++x) {
            const CScanPlace centre = CMarkGrid::Centre(inCells[x], row);
            const double across = halfAcross[columns[x].cell], down = halfDown[x];
            const CCover cx{centre.x - across, centre.x + across};
            const CCover cy{centre.y - down, centre.y + down};
            out[x] = static_cast<float>(CoveredMean(scan, cx, cy));
        }
    }
}

CPrintSpread EstimatePrintSpread(const CWorkPlane& measured, const CMarkGrid& marks) {
    constexpr int32_t r = kProfileRadius;
    constexpr int32_t side = 2 * r + 1;
    std::vector<double> excess(side * side, 0.0);
    const CMapGrid& grid = marks.Grid();
    int32_t used = 0;
    for (int32_t j = 0; j < grid.rows; ++j)
        for (int32_t i = 0; i < grid.columns; ++i) {
            const int32_t x = grid.PointX(i), y = grid.PointY(j);
            if (!marks.Found(i, j) || x - r - 2 < 0 || y - r - 2 < 0 ||
                x + r + 2 >= measured.Width() || y + r + 2 >= measured.Height())
                continue;
            double background = 0;
            int32_t count = 0;
            for (int32_t dy = -r - 2; dy <= r + 2; ++dy)
                for (int32_t dx = -r - 2; dx <= r + 2; ++dx)
                    if (std::max(std::abs(dx), std::abs(dy)) > r) {
                        background += measured.At(x + dx, y + dy);
                        ++count;
                    }
            background /= count;
            for (int32_t dy = -r; dy <= r; ++dy)
                for (int32_t dx = -r; dx <= r; ++dx)
                    excess[(dy + r) * side + dx + r] += measured.At(x + dx, y + dy) - background;
            ++used;
        }
    CPrintSpread spread;
    double total = 0;
    for (double e : excess) total += e;
    if (used == 0 || total <= 0) return spread;

    // The profile's four mirror images averaged: a print spreads light alike to either side, and
    // the average halves the noise of each share.
    auto share = [&](int32_t dx, int32_t dy) {
        auto at = [&](int32_t u, int32_t v) { return excess[(v + r) * side + u + r]; };
        return (at(dx, dy) + at(-dx, dy) + at(dx, -dy) + at(-dx, -dy)) / (4 * total);
    };
    for (int32_t dy = -r; dy <= r; ++dy)
        for (int32_t dx = -r; dx <= r; ++dx)
            if (share(dx, dy) >= kMarkShare)
                spread.markRadiusSquared = std::max(spread.markRadiusSquared, dx * dx + dy * dy);
    spread.markRadiusSquared = std::min(spread.markRadiusSquared, kLargestMarkRadiusSquared);
    // A line's light at distance d: the mark's light summed along the line, averaged over the
    // four directions.
    for (int32_t d = 1; d <= r; ++d) {
        double line = 0;
        for (int32_t k = -r; k <= r; ++k)
            line += share(d, k) + share(-d, k) + share(k, d) + share(k, -d);
        if (line / 4 >= kLineShare) spread.edgeBand = std::max(spread.edgeBand, d + 1);
    }
    spread.edgeBand = std::min(spread.edgeBand, kWidestEdgeBand);
    return spread;
}

void RepairMarks(CWorkPlane& plane, const CMapGrid& grid, int32_t radiusSquared) {
    if (!plane.HasData()) return;
    CWorkAccess access{plane};
    RepairMarksOf(access, plane.Width(), plane.Height(), grid, radiusSquared);
}

void RepairMarks(CFrame& map, const CMapGrid& grid, int32_t radiusSquared) {
    if (!map.HasData()) return;
    CFrameAccess access{map};
    RepairMarksOf(access, map.m_nCols, map.m_nRows, grid, radiusSquared);
}

void RepeatEdges(CWorkPlane& plane, int32_t band) {
    if (!plane.HasData()) return;
    CWorkAccess access{plane};
    RepeatEdgesOf(access, plane.Width(), plane.Height(), band);
}

void RepeatEdges(CFrame& map, int32_t band) {
    if (!map.HasData()) return;
    CFrameAccess access{map};
    RepeatEdgesOf(access, map.m_nCols, map.m_nRows, band);
}

}  // namespace kavrel::offset
