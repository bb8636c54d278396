// Locating the grid marks in the scan to a fraction of a sample, and placing every map sample
// between them.
#include "calibration/MarkGrid.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace kavrel::offset {

namespace {

// A found mark further than this many map samples from the fit of the others is taken for dust
// or a grain of the exposure.
constexpr double kMostMisplacement = 1.0;

// A scan sample read as a signed 16-bit value (as the block measurement reads it), the nearest
// one inside the plane for places outside it.
int32_t ScanSample(const CFrame& scan, int32_t x, int32_t y) {
    x = std::clamp(x, 0, scan.m_nCols - 1);
    y = std::clamp(y, 0, scan.m_nRows - 1);
    return static_cast<int16_t>(scan.m_pData[static_cast<size_t>(y) * scan.m_nCols + x]);
}

// Least squares of value = a + b * x + c * y over the points; false when they lie on a line.
struct CAffine {
    double a = 0, b = 0, c = 0;
    double operator()(double x, double y) const { return a + b * x + c * y; }
};

struct CFitPoint {
    double x, y;      // map
    CScanPlace place;  // scan
};

bool Solve3(std::array<std::array<double, 4>, 3> m, std::array<double, 3>& out) {
    for (int col = 0; col < 3; ++col) {
        int pivot = col;
        for (int row = col + 1; row < 3; ++row)
            if (std::abs(m[row][col]) > std::abs(m[pivot][col])) pivot = row;
        if (std::abs(m[pivot][col]) < 1e-9) return false;
        std::swap(m[col], m[pivot]);
        for (int row = 0; row < 3; ++row) {
            if (row == col) continue;
            const double f = m[row][col] / m[col][col];
            for (int k = col; k < 4; ++k) m[row][k] -= f * m[col][k];
        }
    }
    for (int k = 0; k < 3; ++k) out[k] = m[k][3] / m[k][k];
    return true;
}

bool FitAffine(const std::vector<CFitPoint>& points, CAffine& fx, CAffine& fy) {
    if (points.size() < 3) return false;
    std::array<std::array<double, 4>, 3> mx{}, my{};
    for (const CFitPoint& p : points) {
        const double basis[3] = {1.0, p.x, p.y};
        for (int r = 0; r < 3; ++r) {
            for (int c = 0; c < 3; ++c) mx[r][c] += basis[r] * basis[c];
            mx[r][3] += basis[r] * p.place.x;
            my[r][3] += basis[r] * p.place.y;
        }
    }
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c) my[r][c] = mx[r][c];
    std::array<double, 3> sx{}, sy{};
    if (!Solve3(mx, sx) || !Solve3(my, sy)) return false;
    fx = CAffine{sx[0], sx[1], sx[2]};
    fy = CAffine{sy[0], sy[1], sy[2]};
    return true;
}

}  // namespace

bool MarkCentre(const CFrame& scan, CPoint peak, double across, double down, CScanPlace& centre) {
    if (!scan.HasData() || scan.m_nCols <= 0 || scan.m_nRows <= 0) return false;
    // The window holds a mark's light as far as a print spreads it (about two map samples); the
    // ring around it, the background.
    const int32_t wx = static_cast<int32_t>(std::ceil(2.5 * across)) + 1;
    const int32_t wy = static_cast<int32_t>(std::ceil(2.5 * down)) + 1;
    constexpr int32_t kRing = 3;
    centre = CScanPlace{peak.x + 0.5, peak.y + 0.5};
    // Twice: the second window is centred on the first estimate, so that the noise that the
    // window takes in lies evenly around the mark.
    for (int pass = 0; pass < 2; ++pass) {
        const int32_t cx = static_cast<int32_t>(std::floor(centre.x));
        const int32_t cy = static_cast<int32_t>(std::floor(centre.y));
        double sum = 0, squares = 0;
        int64_t count = 0;
        for (int32_t dy = -wy - kRing; dy <= wy + kRing; ++dy)
            for (int32_t dx = -wx - kRing; dx <= wx + kRing; ++dx) {
                if (std::abs(dx) <= wx && std::abs(dy) <= wy) continue;
                const double v = ScanSample(scan, cx + dx, cy + dy);
                sum += v;
                squares += v * v;
                ++count;
            }
        const double mean = sum / count;
        const double spread = std::sqrt(std::max(squares / count - mean * mean, 0.0));
        // Less twice the ring's spread: what noise alone lifts above the background weighs
        // nothing, and what is left weighs alike on every side of the mark.
        const double floor = mean + 2 * spread;
        double weight = 0, wxSum = 0, wySum = 0;
        for (int32_t dy = -wy; dy <= wy; ++dy)
            for (int32_t dx = -wx; dx <= wx; ++dx) {
                const double w = ScanSample(scan, cx + dx, cy + dy) - floor;
                if (w <= 0) continue;
                weight += w;
                wxSum += w * (cx + dx + 0.5);
                wySum += w * (cy + dy + 0.5);
            }
        if (weight <= 0) return false;
        centre = CScanPlace{wxSum / weight, wySum / weight};
    }
    return true;
}

CMarkGrid::CMarkGrid(const CFrame& map, const CFrame& scan, const CBorderBox& box)
    : m_Grid(map),
      m_Places(static_cast<size_t>(m_Grid.columns) * m_Grid.rows, CScanPlace{0, 0}),
      m_Found(m_Places.size(), false) {
    const CGridMapping at(map, box);
    // The border box's own placing, in continuous scan coordinates, for when too few marks are
    // found to fit: map place x (a sample's centre is x + 0.5) at scan place left + l * x / W,
    // in the middle of that sample.
    const double scaleX = (double(box.right) - box.left) / std::max(m_Grid.width, 1);
    const double scaleY = (double(box.bottom) - box.top) / std::max(m_Grid.height, 1);
    CAffine fx{box.left + 0.5, scaleX, 0};
    CAffine fy{box.top + 0.5, 0, scaleY};

    std::vector<CFitPoint> found;
    for (int32_t j = 0; j < m_Grid.rows; ++j)
        for (int32_t i = 0; i < m_Grid.columns; ++i) {
            const int32_t cx = at.ScanX(m_Grid.PointX(i));
            const int32_t cy = at.ScanY(m_Grid.PointY(j));
            const CPoint peak = scan.FindPeak(cx, cy, kWideSearch);
            CScanPlace centre{};
            if (!IsMark(scan, cx, cy, kWideSearch, peak) ||
                !MarkCentre(scan, peak, scaleX, scaleY, centre))
                continue;
            m_Found[Index(i, j)] = true;
            m_Places[Index(i, j)] = centre;
            found.push_back({m_Grid.PointX(i) + 0.5, m_Grid.PointY(j) + 0.5, centre});
        }

    // Marks far from the fit of all are dropped, and the rest fitted again.
    if (FitAffine(found, fx, fy)) {
        const double most = kMostMisplacement * std::max(std::abs(scaleX), std::abs(scaleY));
        std::vector<CFitPoint> kept;
        for (const CFitPoint& p : found) {
            const double ex = p.place.x - fx(p.x, p.y), ey = p.place.y - fy(p.x, p.y);
            if (std::hypot(ex, ey) <= most) {
                kept.push_back(p);
                continue;
            }
            const int32_t i = (static_cast<int32_t>(p.x) - m_Grid.x) / m_Grid.stepX;
            const int32_t j = (static_cast<int32_t>(p.y) - m_Grid.y) / m_Grid.stepY;
            m_Found[Index(i, j)] = false;
        }
        if (kept.size() != found.size()) FitAffine(kept, fx, fy);
    }
    for (int32_t j = 0; j < m_Grid.rows; ++j)
        for (int32_t i = 0; i < m_Grid.columns; ++i) {
            if (m_Found[Index(i, j)]) continue;
            const double x = m_Grid.PointX(i) + 0.5, y = m_Grid.PointY(j) + 0.5;
            m_Places[Index(i, j)] = CScanPlace{fx(x, y), fy(x, y)};
        }
}

int32_t CMarkGrid::FoundCount() const {
    return static_cast<int32_t>(std::count(m_Found.begin(), m_Found.end(), true));
}

CMarkGrid::CCellPlace CMarkGrid::Column(int32_t x) const {
    const double gx = double(x - m_Grid.x) / m_Grid.stepX;
    const int32_t i = std::clamp(static_cast<int32_t>(std::floor(gx)), 0, m_Grid.columns - 2);
    return CCellPlace{i, gx - i};
}

CMarkGrid::CCellPlace CMarkGrid::Row(int32_t y) const {
    const double gy = double(y - m_Grid.y) / m_Grid.stepY;
    const int32_t j = std::clamp(static_cast<int32_t>(std::floor(gy)), 0, m_Grid.rows - 2);
    return CCellPlace{j, gy - j};
}

CMarkGrid::CColumnInCells CMarkGrid::ColumnInCells(CCellPlace column, int32_t cellRow) const {
    const int32_t i = column.cell, j = cellRow;
    const double t = column.fraction;
    const CScanPlace a = Mark(i, j), b = Mark(i + 1, j), c = Mark(i, j + 1), d = Mark(i + 1, j + 1);
    return CColumnInCells{CScanPlace{(1 - t) * a.x + t * b.x, (1 - t) * a.y + t * b.y},
                          CScanPlace{(1 - t) * c.x + t * d.x, (1 - t) * c.y + t * d.y},
                          std::abs((1 - t) * (c.y - a.y) + t * (d.y - b.y)) / m_Grid.stepY};
}

double CMarkGrid::ExtentAcross(int32_t cellColumn, CCellPlace row) const {
    const int32_t i = cellColumn, j = row.cell;
    const double u = row.fraction;
    const CScanPlace a = Mark(i, j), b = Mark(i + 1, j), c = Mark(i, j + 1), d = Mark(i + 1, j + 1);
    return std::abs((1 - u) * (b.x - a.x) + u * (d.x - c.x)) / m_Grid.stepX;
}

CMarkGrid::CSamplePlace CMarkGrid::Place(CCellPlace column, CCellPlace row) const {
    const CColumnInCells inCells = ColumnInCells(column, row.cell);
    return CSamplePlace{Centre(inCells, row), ExtentAcross(column.cell, row), inCells.down};
}

CScanPlace CMarkGrid::Centre(int32_t x, int32_t y) const { return Place(Column(x), Row(y)).centre; }

void CMarkGrid::Extent(int32_t x, int32_t y, double& across, double& down) const {
    const CSamplePlace place = Place(Column(x), Row(y));
    across = place.across;
    down = place.down;
}

}  // namespace kavrel::offset
