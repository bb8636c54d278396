#include "support/Planes.h"

#include <algorithm>

namespace testing_support {

namespace {

void Allocate(CFrame& plane, int32_t cols, int32_t rows, int32_t count) {
    plane.m_nCols = cols;
    plane.m_nRows = rows;
    plane.m_nCount = count;
    plane.m_pData = std::make_unique<uint16_t[]>(static_cast<size_t>(count));
}

}  // namespace

void Paint(CFrame& plane, int32_t cols, int32_t rows,
           const std::function<int32_t(int32_t, int32_t)>& value) {
    Allocate(plane, cols, rows, cols * rows);
    for (int32_t y = 0; y < rows; ++y)
        for (int32_t x = 0; x < cols; ++x) plane.SetPixel(x, y, value(x, y));
}

void PaintSamples(CFrame& plane, int32_t cols, int32_t rows,
                  const std::function<int64_t(int32_t)>& sample) {
    Allocate(plane, cols, rows, cols * rows);
    for (int32_t i = 0; i < plane.m_nCount; ++i)
        plane.m_pData[i] = static_cast<uint16_t>(sample(i));
}

void MakePlane(CFrame& plane, int32_t cols, int32_t rows, const std::vector<int32_t>& samples) {
    PaintSamples(plane, cols, rows, [&](int32_t i) { return samples[static_cast<size_t>(i)]; });
}

void CopyPlane(const CFrame& from, CFrame& to) {
    Allocate(to, from.m_nCols, from.m_nRows, from.m_nCount);
    std::copy_n(from.m_pData.get(), from.m_nCount, to.m_pData.get());
}

std::vector<uint16_t> Samples(const CFrame& plane) {
    return std::vector<uint16_t>(plane.m_pData.get(), plane.m_pData.get() + plane.m_nCount);
}

std::vector<int32_t> SignedSamples(const CFrame& plane) {
    std::vector<int32_t> out;
    for (int32_t i = 0; i < plane.m_nCount; ++i) out.push_back(static_cast<int16_t>(plane.m_pData[i]));
    return out;
}

}  // namespace testing_support
