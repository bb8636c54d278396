#include "output/FramePacking.h"

#include <cstdint>
#include <cstring>

#include "image/Frame.h"

namespace kavrel {

namespace {

void PackSamples(const uint16_t* samples, size_t count, uint8_t* out) {
    for (size_t i = 0; i < count; ++i, out += 3) PackSample(samples[i], out);
}

// One buffer row of the delay-line mode: the even columns from one frame row and the odd
// columns from another.
void PackColumnPairs(const uint16_t* evenFrom, const uint16_t* oddFrom, int32_t cols,
                     uint8_t* out) {
    for (int32_t c = 0; c < cols; c += 2, out += 6) {
        PackSample(evenFrom[c], out);
        PackSample(oddFrom[c + 1], out + 3);
    }
}

// The last buffer row of the delay-line mode: the straight columns (parity 0 even, 1 odd) from
// the frame row, the delayed ones black.
void PackStraightColumns(const uint16_t* from, int32_t straightParity, int32_t cols, uint8_t* out) {
    std::memset(out, 0, 3 * static_cast<size_t>(cols));
    for (int32_t c = straightParity; c < cols; c += 2) PackSample(from[c], out + 3 * c);
}

}  // namespace

bool CanPackFrame(const CFrame& frame) {
    return frame.HasData() && frame.m_nCols > 0 && frame.m_nRows > 0 && frame.m_nCols % 4 == 0 &&
           static_cast<int64_t>(frame.m_nCols) * frame.m_nRows == frame.m_nCount &&
           static_cast<uint64_t>(frame.m_nCount) <= SIZE_MAX / 3;
}

size_t PackedFrameBytes(const CFrame& frame) { return 3 * static_cast<size_t>(frame.m_nCount); }

void PackFrame(const CFrame& frame, uint8_t* out) {
    const uint16_t* samples = frame.m_pData.get();
    if (frame.m_nDelayLine == 0) {
        PackSamples(samples, static_cast<size_t>(frame.m_nCount), out);
        return;
    }
    const int32_t cols = frame.m_nCols;
    const int32_t last = frame.m_nRows - 1;
    const size_t rowBytes = 3 * static_cast<size_t>(cols);
    const bool oddStraight = frame.m_nDelayShift != 0;
    for (int32_t r = 0; r < last; ++r, out += rowBytes) {
        const uint16_t* row = samples + static_cast<size_t>(r) * cols;
        const uint16_t* next = row + cols;
        if (oddStraight)
            PackColumnPairs(next, row, cols, out);
        else
            PackColumnPairs(row, next, cols, out);
    }
    PackStraightColumns(samples + static_cast<size_t>(last) * cols, oddStraight ? 1 : 0, cols, out);
}

}  // namespace kavrel
