// The offset calculation by block rules, in the order of its steps: find the marks of each cell
// and resample the cell in blocks, repair the marks, smooth, add the old map, repair the outer
// rows and columns, remove the mean and save.
#include "calibration/BlockRules.h"

#include <algorithm>
#include <cstdint>

#include "calibration/CommonSteps.h"
#include "calibration/Wrap32.h"
#include "platform/Settings.h"

using namespace kavrel::wrap32;
using kavrel::offset::EPeaks;
using kavrel::offset::IsMark;
using kavrel::offset::kWideSearch;

namespace {

// Search radius, in scan samples, around the next grid point of a cell, predicted from the mark
// found at its first one.
constexpr int32_t kNarrowSearch = 15;

// Marks are patched from this many rows away: below the row kPatchTurnRow from further down,
// from there on from further up.
constexpr int32_t kPatchDistance = 10;
constexpr int32_t kPatchTurnRow = 300;

// The blocks of a Resample along one direction: block k of `count` covers the source positions
// from origin + k * span / count up to, not including, origin + (k + 1) * span / count.
struct CBlockSpans {
    int32_t origin;
    int32_t span;
    int32_t count;

    int32_t Start(int32_t k) const { return Add(origin, Div(Mul(k, span), count)); }
    bool HasSamples(int32_t k) const { return Start(k) < Start(k + 1); }
    // The first block that covers at least one position, or -1.
    int32_t FirstWithSamples() const {
        for (int32_t k = 0; k < count; ++k)
            if (HasSamples(k)) return k;
        return -1;
    }
};

// The quotient rounded toward minus infinity.
int64_t FloorDiv(int64_t n, int64_t d) { return n / d - (n % d != 0 && (n < 0) != (d < 0)); }

// A sample read as a signed 16-bit value, as a term of a sum that wraps in 32 bits.
uint32_t SignedTerm(uint16_t sample) {
    return static_cast<uint32_t>(static_cast<int32_t>(static_cast<int16_t>(sample)));
}

// Div(n, count), with the counts of the usual blocks (2 or 3 samples a side) as constant divisors
// that compile to multiplications.
int32_t DivideByCount(int32_t n, int32_t count) {
    switch (count) {
        case 4: return n / 4;
        case 6: return n / 6;
        case 9: return n / 9;
        default: return Div(n, count);
    }
}

// Mean of the source samples in columns x0 .. x1 - 1 and rows y0 .. y1 - 1 (x0 < x1, y0 < y1),
// read as GetPixel reads them: by linear index, 0 outside the buffer. Each row's stretch of
// indexes is cut to the buffer, and only rows whose stretch can meet it are visited. Sum and
// count wrap as 32-bit arithmetic does.
int32_t BlockMean(const CFrame& source, int32_t x0, int32_t x1, int32_t y0, int32_t y1) {
    uint32_t sum = 0;
    const int64_t cols = source.m_nCols;
    if (source.HasData() && cols > 0 && x0 >= 0 && x1 <= cols && y0 >= 0 &&
        int64_t{y1} * cols <= source.m_nCount) {
        // The block lies inside the plane: its rows are plain stretches of samples.
        const uint16_t* row = source.m_pData.get() + static_cast<size_t>(y0) * cols;
        for (int32_t y = y0; y < y1; ++y, row += cols)
            for (int32_t x = x0; x < x1; ++x) sum += SignedTerm(row[x]);
    } else if (source.HasData() && cols > 0) {
        const uint16_t* samples = source.m_pData.get();
        const int64_t firstRow = std::max<int64_t>(y0, FloorDiv(-int64_t{x1}, cols));
        const int64_t endRow =
            std::min<int64_t>(y1, FloorDiv(source.m_nCount - int64_t{x0}, cols) + 1);
        for (int64_t y = firstRow; y < endRow; ++y) {
            const int64_t first = std::max<int64_t>(y * cols + x0, 0);
            const int64_t end = std::min<int64_t>(y * cols + x1, source.m_nCount);
            for (int64_t i = first; i < end; ++i) sum += SignedTerm(samples[i]);
        }
    }
    const uint32_t count = static_cast<uint32_t>(Sub(x1, x0)) * static_cast<uint32_t>(Sub(y1, y0));
    return DivideByCount(static_cast<int32_t>(sum), static_cast<int32_t>(count));
}

// Steps of the measurement: every cell, strip and corner of the map is resampled from the part
// of the scan between the marks found around it.
class CGridMeasurement {
public:
    CGridMeasurement(CFrame& map, const CFrame& scan, const CBorderBox& box, EPeaks peaks)
        : m_Map(map), m_Scan(scan), m_At(map, box), m_Grid(map), m_ePeaks(peaks) {}
    virtual ~CGridMeasurement() = default;

    void InteriorCells() const;
    void LeftStrip() const;
    void RightStrip() const;
    void TopStrip() const;
    void BottomStrip() const;
    void Corners() const;

private:
    // Two marks that bound a piece of the map: p searched widely, q near its predicted place.
    struct CMarkPair {
        CPoint p, q;
    };

    // The mark found near (x, y), or (x, y) itself, the predicted place, where none is found.
    CPoint Peak(int32_t x, int32_t y, int32_t radius) const {
        const CPoint peak = m_Scan.FindPeak(x, y, radius);
        if (m_ePeaks == EPeaks::AsFound || IsMark(m_Scan, x, y, radius, peak)) return peak;
        return CPoint{x, y};
    }
    // The mark of grid point (X, Y) and the one a step of (stepX, stepY) away from it.
    CMarkPair Marks(int32_t X, int32_t Y, int32_t stepX, int32_t stepY) const {
        const int32_t cx = m_At.ScanX(X);
        const int32_t cy = m_At.ScanY(Y);
        const CPoint p = Peak(cx, cy, kWideSearch);
        const CPoint q = Peak(Add(cx, m_At.dX(stepX)), Add(cy, m_At.dY(stepY)), kNarrowSearch);
        return CMarkPair{p, q};
    }
    void Measure(int32_t x0, int32_t y0, int32_t x1, int32_t y1, int32_t X0, int32_t Y0, int32_t X1,
                 int32_t Y1) const {
        m_Map.Resample(x0, y0, x1, y1, X0, Y0, X1, Y1, m_Scan);
    }

    CFrame& m_Map;
    const CFrame& m_Scan;
    const kavrel::offset::CGridMapping m_At;
    const kavrel::offset::CMapGrid m_Grid;
    const EPeaks m_ePeaks;
};

void CGridMeasurement::InteriorCells() const {
    const kavrel::offset::CMapGrid& g = m_Grid;
    for (int32_t X = g.x; X < g.width - g.stepX; X += g.stepX) {
        for (int32_t Y = g.y; Y < g.height - g.stepY; Y += g.stepY) {
            const auto [p, q] = Marks(X, Y, g.stepX, g.stepY);
            Measure(p.x, p.y, q.x, q.y, X, Y, X + g.stepX, Y + g.stepY);
        }
    }
}

void CGridMeasurement::LeftStrip() const {
    const kavrel::offset::CMapGrid& g = m_Grid;
    for (int32_t Y = g.y; Y < g.height - g.stepY; Y += g.stepY) {
        const auto [p, q] = Marks(g.x, Y, 0, g.stepY);
        Measure(Sub(p.x, m_At.dX(g.x)), p.y, q.x, q.y, 0, Y, g.x, Y + g.stepY);
    }
}

void CGridMeasurement::RightStrip() const {
    const kavrel::offset::CMapGrid& g = m_Grid;
    for (int32_t Y = g.y; Y < g.height - g.stepY; Y += g.stepY) {
        const auto [p, q] = Marks(g.right, Y, 0, g.stepY);
        Measure(p.x, p.y, Add(q.x, m_At.dX(g.x)), q.y, g.right - 1, Y, g.width, Y + g.stepY);
    }
}

void CGridMeasurement::TopStrip() const {
    const kavrel::offset::CMapGrid& g = m_Grid;
    for (int32_t X = g.x; X < g.width - g.stepX; X += g.stepX) {
        const auto [p, q] = Marks(X, g.y, g.stepX, 0);
        Measure(p.x, Sub(p.y, m_At.dY(g.y)), q.x, q.y, X, 0, X + g.stepX, g.y);
    }
}

void CGridMeasurement::BottomStrip() const {
    const kavrel::offset::CMapGrid& g = m_Grid;
    for (int32_t X = g.x; X < g.width - g.stepX; X += g.stepX) {
        const auto [p, q] = Marks(X, g.bottom, g.stepX, 0);
        Measure(p.x, p.y, q.x, Add(q.y, m_At.dY(g.y)), X, g.bottom - 1, X + g.stepX, g.height - 1);
    }
}

// Each corner is measured from the one mark found next to it, over the strip's distances.
void CGridMeasurement::Corners() const {
    const kavrel::offset::CMapGrid& g = m_Grid;
    const int32_t dx = m_At.dX(g.x);
    const int32_t dy = m_At.dY(g.y);

    CPoint p = Peak(m_At.ScanX(g.x), m_At.ScanY(g.y), kNarrowSearch);
    Measure(Sub(p.x, dx), Sub(p.y, dy), p.x, p.y, 0, 0, g.x, g.y);

    p = Peak(m_At.ScanX(g.right), m_At.ScanY(g.y), kNarrowSearch);
    Measure(p.x, Sub(p.y, dy), Add(p.x, dx), p.y, g.right - 1, 0, g.width - 1, g.y);

    p = Peak(m_At.ScanX(g.x), m_At.ScanY(g.bottom), kNarrowSearch);
    Measure(Sub(p.x, dx), p.y, p.x, Add(p.y, dy), 0, g.bottom - 1, g.x, g.height - 1);

    p = Peak(m_At.ScanX(g.right), m_At.ScanY(g.bottom), kNarrowSearch);
    Measure(p.x, p.y, Add(p.x, dx), Add(p.y, dy), g.right - 1, g.bottom - 1, g.width - 1,
            g.height - 1);
}

}  // namespace

void CFrame::Resample(int32_t x0, int32_t y0, int32_t x1, int32_t y1, int32_t X0, int32_t Y0,
                      int32_t X1, int32_t Y1, const CFrame& source) {
    const int32_t width = Sub(X1, X0);
    const int32_t height = Sub(Y1, Y0);
    if (width <= 0 || height <= 0) return;
    const CBlockSpans columns{x0, Sub(Sub(x1, x0), 1), width};
    const CBlockSpans rows{y0, Sub(Sub(y1, y0), 1), height};

    // An empty block repeats the value written just before it. The samples before the first block
    // that holds any take the first measured block below them in their own column, or, in a column
    // without any, the first measured block of the call: a value from the same source columns
    // wherever there is one, so that a mark at the start of the rectangle is not spread along it.
    // When no block holds any, nothing is written and the destination keeps what it held.
    const int32_t firstRow = rows.FirstWithSamples();
    const int32_t firstColumn = columns.FirstWithSamples();
    if (firstRow < 0 || firstColumn < 0) return;
    const int32_t firstRowStart = rows.Start(firstRow);
    const int32_t firstRowEnd = rows.Start(firstRow + 1);
    const int32_t firstMeasured = BlockMean(source, columns.Start(firstColumn),
                                            columns.Start(firstColumn + 1), firstRowStart,
                                            firstRowEnd);

    // Each block's end is the next block's start: every start is computed once per row.
    int32_t value = firstMeasured;
    for (int32_t i = 0; i < height; ++i) {
        const int32_t rowStart = rows.Start(i);
        const int32_t rowEnd = rows.Start(i + 1);
        int32_t columnStart = columns.Start(0);
        for (int32_t j = 0; j < width; ++j) {
            const int32_t columnEnd = columns.Start(j + 1);
            const bool columnHasSamples = columnStart < columnEnd;
            if (rowStart < rowEnd && columnHasSamples)
                value = BlockMean(source, columnStart, columnEnd, rowStart, rowEnd);
            else if (i < firstRow)
                value = columnHasSamples
                            ? BlockMean(source, columnStart, columnEnd, firstRowStart, firstRowEnd)
                            : firstMeasured;
            else if (i == firstRow && j < firstColumn)
                value = firstMeasured;
            SetPixel(Add(X0, j), Add(Y0, i), value);
            columnStart = columnEnd;
        }
    }
}

void CFrame::PatchSample(int32_t x, int32_t y) {
    const int32_t from = y < kPatchTurnRow ? y + kPatchDistance : y - kPatchDistance;
    SetPixel(x, y, GetPixel(x, from));
}

namespace kavrel::offset {

void MeasureGrid(CFrame& map, const CFrame& scan, const CBorderBox& box, EPeaks peaks) {
    const CGridMeasurement measurement(map, scan, box, peaks);
    measurement.InteriorCells();
    measurement.LeftStrip();
    measurement.RightStrip();
    measurement.TopStrip();
    measurement.BottomStrip();
    measurement.Corners();
}

void PatchMarks(CFrame& map) {
    const CMapGrid g(map);
    // The grid point, then the row above it, then the row below, each from the middle outwards.
    constexpr int32_t kRows[] = {0, -1, 1};
    constexpr int32_t kColumns[] = {0, 1, -1};
    for (int32_t X = g.x; X < g.width; X += g.stepX)
        for (int32_t Y = g.y; Y < g.height; Y += g.stepY)
            for (const int32_t dy : kRows)
                for (const int32_t dx : kColumns) map.PatchSample(X + dx, Y + dy);
}

unsigned ReadRepairMarksFirst() {
    return platform::GetProfileInt("Imaging", "RepairMarksFirst", 1);
}

void RepeatOuterRowsAndColumns(CFrame& map) {
    const int32_t width = map.m_nNominalWidth;
    const int32_t height = map.m_nNominalHeight;
    for (int32_t x = 0; x < width; ++x) {
        map.SetPixel(x, 0, map.GetPixel(x, 2));
        map.SetPixel(x, 1, map.GetPixel(x, 2));
        map.SetPixel(x, height - 1, map.GetPixel(x, height - 3));
        map.SetPixel(x, height - 2, map.GetPixel(x, height - 3));
    }
    for (int32_t y = 0; y < height; ++y) {
        map.SetPixel(0, y, map.GetPixel(2, y));
        map.SetPixel(1, y, map.GetPixel(2, y));
        map.SetPixel(width - 1, y, map.GetPixel(width - 3, y));
        map.SetPixel(width - 2, y, map.GetPixel(width - 3, y));
    }
}

void UpdateOffsetMapByBlocks(CFrame& map, const CFrame& scan, const CBorderBox& box) {
    MeasureGrid(map, scan, box);
    // The marks are repaired in the measurement itself, before the smoothing could spread their
    // light to samples that the repair does not reach and every calibration would add again. The
    // setting at 0 repairs them in the finished map instead, as maps were once made.
    const bool repairMarksFirst = ReadRepairMarksFirst() != 0;
    if (repairMarksFirst) PatchMarks(map);
    // Without the smoothing asked for, or without the old map that the file holds, the map would
    // replace the file as something else than the calibration: the file stays as it was instead.
    if (!SmoothAsConfigured(map, ReadUnsharpenOffset) || !AddOldMap(map)) return;
    RepeatOuterRowsAndColumns(map);
    if (!repairMarksFirst) PatchMarks(map);
    map.AddConstant(-map.Mean());
    map.Save(map.m_strFileName);
}

}  // namespace kavrel::offset
