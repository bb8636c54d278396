// Measuring the map pixel by pixel, and the print's spread around the marks and edges.
#include "calibration/PixelMeasurement.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include <emmintrin.h>

#include "base/NonCopyable.h"

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
        : from(start),
          to(end),
          first(FloorToInt(start)),
          last(std::max(first, CeilToInt(end) - 1)) {}

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

// The covers of two neighbouring samples along one direction, the left one's in the low lane,
// from their centres and half extents: from and to as CCover has them, and the first and last
// sample as FloorToInt and CeilToInt give them within kNearZero of 0.
struct CCoverPair {
    CCoverPair(double leftCentre, double rightCentre, double leftHalf, double rightHalf)
        : from(_mm_sub_pd(_mm_set_pd(rightCentre, leftCentre), _mm_set_pd(rightHalf, leftHalf))),
          to(_mm_add_pd(_mm_set_pd(rightCentre, leftCentre), _mm_set_pd(rightHalf, leftHalf))) {
        const __m128d above = _mm_set1_pd(-kNearZero), below = _mm_set1_pd(kNearZero);
        const __m128d fromNear = _mm_and_pd(_mm_cmpgt_pd(from, above), _mm_cmplt_pd(from, below));
        const __m128d toNear = _mm_and_pd(_mm_cmpgt_pd(to, above), _mm_cmplt_pd(to, below));
        // False for a NaN as well.
        nearZero = _mm_movemask_pd(_mm_and_pd(fromNear, toNear)) == 3;
        // Truncated, then one step toward minus infinity for the first and toward plus infinity
        // for the end (a comparison's mask is -1 in each 32-bit half of its lane).
        const __m128i fromTruncated = _mm_cvttpd_epi32(from), toTruncated = _mm_cvttpd_epi32(to);
        auto lanes = [](__m128d mask) {
            return _mm_shuffle_epi32(_mm_castpd_si128(mask), _MM_SHUFFLE(2, 0, 2, 0));
        };
        first = _mm_add_epi32(fromTruncated,
                              lanes(_mm_cmplt_pd(from, _mm_cvtepi32_pd(fromTruncated))));
        const __m128i end = _mm_sub_epi32(
            toTruncated, lanes(_mm_cmpgt_pd(to, _mm_cvtepi32_pd(toTruncated))));
        const __m128i lastBeforeEnd = _mm_sub_epi32(end, _mm_set1_epi32(1));
        const __m128i firstIsLater = _mm_cmpgt_epi32(first, lastBeforeEnd);
        const __m128i last = _mm_or_si128(_mm_and_si128(firstIsLater, first),
                                          _mm_andnot_si128(firstIsLater, lastBeforeEnd));
        firsts[0] = _mm_cvtsi128_si32(first);
        firsts[1] = _mm_cvtsi128_si32(_mm_srli_si128(first, 4));
        lasts[0] = _mm_cvtsi128_si32(last);
        lasts[1] = _mm_cvtsi128_si32(_mm_srli_si128(last, 4));
    }

    // Whether both covers span at most four samples from their first, which lies in
    // 0 .. extent - 4. The samples beyond a cover's own then have weight 0 (CCover::Weight), and
    // a term of weight 0 leaves the sum and the weight as they were (neither is ever -0: both
    // start at +0), so that four samples from the first measure exactly what the cover does.
    bool FourWithin(int32_t extent) const {
        if (!nearZero) return false;
        for (int32_t lane = 0; lane < 2; ++lane)
            if (lasts[lane] - firsts[lane] >= 4 || firsts[lane] < 0 || firsts[lane] > extent - 4)
                return false;
        return true;
    }

    __m128d from, to;
    __m128i first;
    int32_t firsts[2], lasts[2];
    bool nearZero;

    // The weights of the four samples from each cover's first: CCover::Weight, with the operands
    // of the SSE2 minimum and maximum ordered so that they choose as std::min and std::max do.
    void FourWeights(__m128d (&weights)[4]) const {
        // The places as doubles: the first's, plus k (exact, as for any integer of 32 bits).
        const __m128d place0 = _mm_cvtepi32_pd(first);
#pragma GCC unroll 4
        for (int32_t k = 0; k < 4; ++k) {
            const __m128d place = _mm_add_pd(place0, _mm_set1_pd(k));
            const __m128d next = _mm_add_pd(place0, _mm_set1_pd(k + 1));
            weights[k] = _mm_max_pd(_mm_setzero_pd(),
                                    _mm_sub_pd(_mm_min_pd(next, to), _mm_max_pd(place, from)));
        }
    }
};

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

// CoveredMean of two neighbouring samples, each in a lane of its own, from the four samples
// across and down from their firsts (CCoverPair::FourWithin), into out[0] and out[1]: the same
// terms in the same order, with terms of weight 0 among them.
void MeanOfPair(const CFrame& scan, const CCoverPair& across, const CCoverPair& down, float* out) {
    const int32_t stride = scan.m_nCols;
    auto firstOf = [&](int32_t lane) {
        return scan.m_pData.get() + static_cast<size_t>(down.firsts[lane]) * stride +
               across.firsts[lane];
    };
    const uint16_t* left = firstOf(0);
    const uint16_t* right = firstOf(1);
    __m128d acrossWeights[4], downWeights[4], samples[4];
    across.FourWeights(acrossWeights);
    down.FourWeights(downWeights);
    __m128d sum = _mm_setzero_pd(), weight = _mm_setzero_pd();
#pragma GCC unroll 4
    for (int32_t b = 0; b < 4; ++b, left += stride, right += stride) {
        FourColumns(left, right, samples);
#pragma GCC unroll 4
        for (int32_t k = 0; k < 4; ++k) {
            const __m128d w = _mm_mul_pd(acrossWeights[k], downWeights[b]);
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

// The places of the map samples of one row at a time. What a sample's place depends on is worked
// out once: for every column once per row of cells, for every column of cells once per row.
class CRowPlaces : private CNonCopyable {
public:
    CRowPlaces(const CMarkGrid& marks, int32_t width)
        : m_Marks(marks),
          m_Columns(static_cast<size_t>(width)),
          m_InCells(static_cast<size_t>(width)),
          m_HalfDown(static_cast<size_t>(width)),
          m_HalfAcross(static_cast<size_t>(std::max(marks.Grid().columns - 1, 0))) {
        for (int32_t x = 0; x < width; ++x) m_Columns[x] = marks.Column(x);
    }
    virtual ~CRowPlaces() = default;

    void MoveTo(int32_t y) {
        m_Row = m_Marks.Row(y);
        if (m_Row.cell != m_nCellRow) {
            m_nCellRow = m_Row.cell;
            for (size_t x = 0; x < m_Columns.size(); ++x) {
                m_InCells[x] = m_Marks.ColumnInCells(m_Columns[x], m_nCellRow);
                m_HalfDown[x] = HalfExtent(m_InCells[x].down);
            }
        }
        for (size_t i = 0; i < m_HalfAcross.size(); ++i)
            m_HalfAcross[i] = HalfExtent(m_Marks.ExtentAcross(static_cast<int32_t>(i), m_Row));
    }

    int32_t Width() const { return static_cast<int32_t>(m_Columns.size()); }
    CScanPlace Centre(int32_t x) const { return CMarkGrid::Centre(m_InCells[x], m_Row); }
    // Half the sample's extent across and down, within the bounds of an extent.
    double HalfAcross(int32_t x) const { return m_HalfAcross[m_Columns[x].cell]; }
    double HalfDown(int32_t x) const { return m_HalfDown[x]; }

private:
    static double HalfExtent(double extent) {
        return std::clamp(extent, kNarrowestExtent, kWidestExtent) / 2;
    }

    const CMarkGrid& m_Marks;
    std::vector<CMarkGrid::CCellPlace> m_Columns;
    std::vector<CMarkGrid::CColumnInCells> m_InCells;
    std::vector<double> m_HalfDown;
    std::vector<double> m_HalfAcross;
    CMarkGrid::CCellPlace m_Row{0, 0};
    int32_t m_nCellRow = -1;
};

// Measures the row that `places` has moved to into out[0 .. width - 1]: two neighbouring samples
// at a time where their covers allow it, any other alone.
void MeasureRow(const CRowPlaces& places, const CFrame& scan, float* out) {
    auto measureAlone = [&](int32_t x, const CScanPlace& centre) {
        const double across = places.HalfAcross(x), down = places.HalfDown(x);
        const CCover coverAcross(centre.x - across, centre.x + across);
        const CCover coverDown(centre.y - down, centre.y + down);
        return static_cast<float>(CoveredMean(scan, coverAcross, coverDown));
    };
    const int32_t width = places.Width();
    int32_t x = 0;
    for (; x + 2 <= width; x += 2) {
        const CScanPlace left = places.Centre(x), right = places.Centre(x + 1);
        const CCoverPair across(left.x, right.x, places.HalfAcross(x), places.HalfAcross(x + 1));
        const CCoverPair down(left.y, right.y, places.HalfDown(x), places.HalfDown(x + 1));
        if (across.FourWithin(scan.m_nCols) && down.FourWithin(scan.m_nRows)) {
            MeanOfPair(scan, across, down, out + x);
            continue;
        }
        out[x] = measureAlone(x, left);
        out[x + 1] = measureAlone(x + 1, right);
    }
    for (; x < width; ++x) out[x] = measureAlone(x, places.Centre(x));
}

}  // namespace

void MeasureEveryPixel(const CMarkGrid& marks, const CFrame& scan, CWorkPlane& measured) {
    if (!scan.HasData() || !measured.HasData() || scan.m_nCols <= 0 || scan.m_nRows <= 0) return;
    CRowPlaces places(marks, measured.Width());
    for (int32_t y = 0; y < measured.Height(); ++y) {
        places.MoveTo(y);
        MeasureRow(places, scan, &measured.At(0, y));
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
