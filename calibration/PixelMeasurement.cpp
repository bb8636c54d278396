// Measuring the map pixel by pixel, and the print's spread around the marks and edges.
#include "calibration/PixelMeasurement.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include <emmintrin.h>

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

// The scan samples that cover the stretch from `from` to `to` (continuous places), and how much
// of each lies inside it.
struct CCover {
    CCover(double start, double end)
        : from(start), to(end), first(FloorToInt(start)), last(std::max(first, CeilToInt(end) - 1)) {}

    double from, to;
    int32_t first, last;  // the first and the last sample covered
    double Weight(int32_t k) const {
        return std::max(std::min(to, double(k + 1)) - std::max(from, double(k)), 0.0);
    }
};

// The mean of the scan samples that cover cx across and cy down, each weighted by how much of
// it lies inside; samples beyond the scan's edges repeat the outermost ones. 0 when nothing is
// covered.
double CoveredMean(const CFrame& scan, const CCover& cx, const CCover& cy) {
    const int32_t cols = scan.m_nCols, rows = scan.m_nRows;
    const uint16_t* samples = scan.m_pData.get();
    double sum = 0, weight = 0;
    for (int32_t b = cy.first; b <= cy.last; ++b) {
        const uint16_t* row = samples + static_cast<size_t>(std::clamp(b, 0, rows - 1)) * cols;
        for (int32_t a = cx.first; a <= cx.last; ++a) {
            const double w = cx.Weight(a) * cy.Weight(b);
            sum += w * static_cast<int16_t>(row[std::clamp(a, 0, cols - 1)]);
            weight += w;
        }
    }
    return weight > 0 ? sum / weight : 0;
}

// A map sample's cover in the scan, across and down.
struct CCover2D {
    CCover across, down;
};

// The scan's 4 x 4 samples from the first that the cover reads, when the cover is at most four
// columns wide and four rows high and the 4 x 4 lie inside the scan; nullptr otherwise. The
// columns and rows beyond the cover's own have weight 0 (CCover::Weight), and a term of weight 0
// leaves the sum and the weight as they were (neither is ever -0: both start at +0), so that the
// 4 x 4 measure exactly what the cover does.
const uint16_t* FourByFour(const CFrame& scan, const CCover2D& cover) {
    const int32_t first = cover.across.first, firstRow = cover.down.first;
    if (int64_t{cover.across.last} - first >= 4 || int64_t{cover.down.last} - firstRow >= 4 ||
        first < 0 || firstRow < 0 || first > scan.m_nCols - 4 || firstRow > scan.m_nRows - 4)
        return nullptr;
    return scan.m_pData.get() + static_cast<size_t>(firstRow) * scan.m_nCols + first;
}

// The weights of the four places from each cover's first, the left cover's in the low lane:
// CCover::Weight, with the operands of the SSE2 minimum and maximum ordered so that they choose
// as std::min and std::max do.
void FourWeights(const CCover& left, const CCover& right, __m128d (&weights)[4]) {
    const __m128d from = _mm_set_pd(right.from, left.from), to = _mm_set_pd(right.to, left.to);
    // The places as doubles: the first's, plus k (exact, as for any integer of 32 bits).
    const __m128d first = _mm_cvtepi32_pd(_mm_set_epi32(0, 0, right.first, left.first));
#pragma GCC unroll 4
    for (int32_t k = 0; k < 4; ++k) {
        const __m128d place = _mm_add_pd(first, _mm_set1_pd(k));
        const __m128d next = _mm_add_pd(first, _mm_set1_pd(k + 1));
        weights[k] = _mm_max_pd(_mm_setzero_pd(),
                                _mm_sub_pd(_mm_min_pd(next, to), _mm_max_pd(place, from)));
    }
}

// Four samples from each of `left` and `right`, as doubles, column by column, left in the low lane.
void FourColumns(const uint16_t* left, const uint16_t* right, __m128d (&columns)[4]) {
    __m128i l = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(left));
    __m128i r = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(right));
    // Signed 16-bit samples widened to 32 bits.
    l = _mm_srai_epi32(_mm_unpacklo_epi16(l, l), 16);
    r = _mm_srai_epi32(_mm_unpacklo_epi16(r, r), 16);
    const __m128i low = _mm_unpacklo_epi32(l, r), high = _mm_unpackhi_epi32(l, r);
    columns[0] = _mm_cvtepi32_pd(low);
    columns[1] = _mm_cvtepi32_pd(_mm_srli_si128(low, 8));
    columns[2] = _mm_cvtepi32_pd(high);
    columns[3] = _mm_cvtepi32_pd(_mm_srli_si128(high, 8));
}

// CoveredMean of two covers side by side, each in a lane of its own, from their FourByFour
// samples, into out[0] and out[1]: the same terms in the same order, with the terms of weight 0.
void MeanOfPair(const uint16_t* left, const uint16_t* right, int32_t stride, const CCover2D& leftCover,
                const CCover2D& rightCover, float* out) {
    __m128d across[4], down[4], samples[4];
    FourWeights(leftCover.across, rightCover.across, across);
    FourWeights(leftCover.down, rightCover.down, down);
    __m128d sum = _mm_setzero_pd(), weight = _mm_setzero_pd();
#pragma GCC unroll 4
    for (int32_t b = 0; b < 4; ++b, left += stride, right += stride) {
        FourColumns(left, right, samples);
#pragma GCC unroll 4
        for (int32_t k = 0; k < 4; ++k) {
            const __m128d w = _mm_mul_pd(across[k], down[b]);
            sum = _mm_add_pd(sum, _mm_mul_pd(w, samples[k]));
            weight = _mm_add_pd(weight, w);
        }
    }
    double sums[2], weights[2];
    _mm_storeu_pd(sums, sum);
    _mm_storeu_pd(weights, weight);
    for (int32_t lane = 0; lane < 2; ++lane)
        out[lane] = static_cast<float>(weights[lane] > 0 ? sums[lane] / weights[lane] : 0);
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
        auto coverOf = [&](int32_t x) {
            const CScanPlace centre = CMarkGrid::Centre(inCells[x], row);
            const double across = halfAcross[columns[x].cell], down = halfDown[x];
            return CCover2D{CCover{centre.x - across, centre.x + across},
                            CCover{centre.y - down, centre.y + down}};
        };
        float* out = &measured.At(0, y);
        int32_t x = 0;
        for (; x + 2 <= width; x += 2) {
            const CCover2D left = coverOf(x), right = coverOf(x + 1);
            const uint16_t* leftSamples = FourByFour(scan, left);
            const uint16_t* rightSamples = FourByFour(scan, right);
            if (leftSamples != nullptr && rightSamples != nullptr) {
                MeanOfPair(leftSamples, rightSamples, scan.m_nCols, left, right, out + x);
                continue;
            }
            out[x] = static_cast<float>(CoveredMean(scan, left.across, left.down));
            out[x + 1] = static_cast<float>(CoveredMean(scan, right.across, right.down));
        }
        for (; x < width; ++x) {
            const CCover2D cover = coverOf(x);
            out[x] = static_cast<float>(CoveredMean(scan, cover.across, cover.down));
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
