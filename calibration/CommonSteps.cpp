// The grid's place in the scan, the mark search and the map's finishing steps of both rules.
#include "calibration/CommonSteps.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <limits>

#include "calibration/Wrap32.h"
#include "platform/Settings.h"

using namespace kavrel::wrap32;

namespace {

// How many grid points from `first` on, `step` apart, lie before `extent`.
int32_t GridCount(int32_t first, int32_t step, int32_t extent) {
    if (step <= 0 || first < 0 || first >= extent) return 0;
    return (extent - 1 - first) / step + 1;
}

// The window bounds of FindPeak, kept inside the range of a 32-bit position.
int64_t WindowBound(int64_t position) {
    return std::clamp<int64_t>(position, std::numeric_limits<int32_t>::min(),
                               int64_t{std::numeric_limits<int32_t>::max()} + 1);
}

// What a peak must stand above the mean of the window around it to be taken for a mark: so many
// standard deviations of the window, and so many levels.
constexpr int64_t kMarkSigmas = 6;
constexpr int64_t kMarkContrast = 8;

}  // namespace

CPoint CFrame::FindPeak(int32_t x, int32_t y, int32_t radius) const {
    CPoint peak{0, 0};
    if (!HasData()) return peak;
    int32_t best = 0;
    const int64_t rowEnd = WindowBound(int64_t{y} + radius);
    const int64_t columnEnd = WindowBound(int64_t{x} + radius);
    for (int64_t v = WindowBound(int64_t{y} - radius); v < rowEnd; ++v) {
        for (int64_t u = WindowBound(int64_t{x} - radius); u < columnEnd; ++u) {
            const int32_t value = GetPixel(static_cast<int32_t>(u), static_cast<int32_t>(v));
            if (value > best) {
                best = value;
                peak = CPoint{static_cast<int32_t>(u), static_cast<int32_t>(v)};
            }
        }
    }
    return peak;
}

namespace kavrel::offset {

CMapGrid::CMapGrid(const CFrame& map)
    : width(map.m_nNominalWidth),
      height(map.m_nNominalHeight),
      x(map.m_nGridX),
      y(map.m_nGridY),
      stepX(map.m_nGridStepX),
      stepY(map.m_nGridStepY),
      columns(GridCount(x, stepX, width)),
      rows(GridCount(y, stepY, height)),
      right(width - x - 1),
      bottom(height - y - 1) {}

bool CMapGrid::Usable() const { return columns >= 2 && rows >= 2; }

CGridMapping::CGridMapping(const CFrame& map, const CBorderBox& box)
    : m_Box(box),
      m_nScanWidth(Sub(box.right, box.left)),
      m_nScanHeight(Sub(box.bottom, box.top)),
      m_nMapWidth(map.m_nNominalWidth),
      m_nMapHeight(map.m_nNominalHeight) {}

int32_t CGridMapping::ScanX(int32_t mapX) const { return Add(m_Box.left, dX(mapX)); }

int32_t CGridMapping::ScanY(int32_t mapY) const { return Add(m_Box.top, dY(mapY)); }

int32_t CGridMapping::dX(int32_t distance) const {
    return Div(Mul(m_nScanWidth, distance), m_nMapWidth);
}

int32_t CGridMapping::dY(int32_t distance) const {
    return Div(Mul(m_nScanHeight, distance), m_nMapHeight);
}

int32_t MinimumScanExtent(int32_t mapExtent) {
    // 1.1 scan samples per map sample, rounded up.
    return static_cast<int32_t>((int64_t{mapExtent} * 11 + 9) / 10);
}

bool IsMeasurable(const CBorderBox& box, const CFrame& map) {
    constexpr int64_t kLargest = std::numeric_limits<int32_t>::max();
    const int64_t width = int64_t{box.right} - box.left;
    const int64_t height = int64_t{box.bottom} - box.top;
    if (width < MinimumScanExtent(map.m_nNominalWidth) ||
        height < MinimumScanExtent(map.m_nNominalHeight))
        return false;
    return width * map.m_nNominalWidth <= kLargest && height * map.m_nNominalHeight <= kLargest;
}

bool IsMark(const CFrame& scan, int32_t x, int32_t y, int32_t radius, CPoint peak) {
    if (radius <= 0) return false;
    const int64_t peakValue = scan.GetPixel(peak.x, peak.y);
    if (peakValue <= 0) return false;
    const int64_t left = int64_t{x} - radius, right = int64_t{x} + radius - 1;
    const int64_t top = int64_t{y} - radius, bottom = int64_t{y} + radius - 1;
    if (peak.x <= left || peak.x >= right || peak.y <= top || peak.y >= bottom) return false;

    const int64_t spot = radius / 4;
    int64_t count = 0, sum = 0, squares = 0;
    for (int64_t v = top; v <= bottom; ++v)
        for (int64_t u = left; u <= right; ++u) {
            if (std::abs(u - peak.x) <= spot && std::abs(v - peak.y) <= spot) continue;
            const int64_t value = scan.GetPixel(static_cast<int32_t>(u), static_cast<int32_t>(v));
            ++count;
            sum += value;
            squares += value * value;
        }
    if (count == 0) return false;
    // With mean = sum / count and variance = (count * squares - sum^2) / count^2:
    // peak - mean >= kMarkContrast and (peak - mean)^2 >= kMarkSigmas^2 * variance.
    const int64_t excess = peakValue * count - sum;  // (peak - mean) * count
    if (excess < kMarkContrast * count) return false;
    const int64_t spread = count * squares - sum * sum;  // variance * count^2
    return excess * excess >= kMarkSigmas * kMarkSigmas * spread;
}

bool SmoothAsConfigured(CFrame& map, const std::function<unsigned()>& readSetting) {
    // Smoothing builds a new buffer while the old one still exists; the same buffer afterwards
    // means that it could not get one.
    auto smoothed = [&map](void (CFrame::*smooth)()) {
        const uint16_t* before = map.m_pData.get();
        (map.*smooth)();
        return map.m_pData.get() != before;
    };
    if (readSetting() == 1 && !smoothed(&CFrame::SmoothDiagonal)) return false;
    if (readSetting() == 2 && !smoothed(&CFrame::SmoothVertical)) return false;
    return true;
}

unsigned ReadUnsharpenOffset() { return platform::GetProfileInt("Imaging", "UnsharpenOffset", 1); }

bool AddOldMap(CFrame& map) {
    CFrame old;
    old.Load(map.m_strFileName);
    // Sizes without samples: the file holds a map but no buffer could be had for it.
    if (!old.HasData() && old.m_nCount > 0) return false;
    map.AddFrame(old);
    return true;
}

}  // namespace kavrel::offset
