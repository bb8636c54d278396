#include "calibration/ColumnShift.h"

#include <cstring>

#include "image/Frame.h"

namespace kavrel {

namespace {

// Columns first .. end - 1 all move by `shift` rows: downward (to higher rows) for a positive
// shift, upward for a negative one. The rows a shift leaves behind keep their samples, and a
// shift of the whole height or more leaves the columns as they are, as ShiftColumn does. Each row
// is written from a row that has not been written yet: from the bottom up when moving down, from
// the top down when moving up.
void ShiftStrip(CFrame& plane, int32_t first, int32_t end, int32_t shift) {
    const int64_t height = plane.m_nRows;
    const int64_t distance = shift < 0 ? -static_cast<int64_t>(shift) : shift;
    if (distance == 0 || height - distance < 1) return;
    const size_t stride = static_cast<size_t>(plane.m_nCols);
    const size_t bytes = static_cast<size_t>(end - first) * 2;
    uint16_t* strip = plane.m_pData.get() + first;
    if (shift > 0) {
        for (int64_t y = height - 1; y >= distance; --y)
            std::memcpy(strip + y * stride, strip + (y - distance) * stride, bytes);
    } else {
        for (int64_t y = 0; y < height - distance; ++y)
            std::memcpy(strip + y * stride, strip + (y + distance) * stride, bytes);
    }
}

}  // namespace

void ShiftColumns(CFrame& plane, const std::function<int32_t(int32_t)>& shiftOf) {
    if (!plane.HasData()) return;
    // Neighbouring columns mostly share their shift: each run of equal shifts moves as one strip.
    int32_t first = 0;
    while (first < plane.m_nCols) {
        const int32_t shift = shiftOf(first);
        int32_t end = first + 1;
        while (end < plane.m_nCols && shiftOf(end) == shift) ++end;
        ShiftStrip(plane, first, end, shift);
        first = end;
    }
}

}  // namespace kavrel
