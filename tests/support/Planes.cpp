#include "support/Planes.h"

namespace testing_support {

void Paint(CFrame& plane, int32_t cols, int32_t rows,
           const std::function<int32_t(int32_t, int32_t)>& value) {
    plane.m_nCols = cols;
    plane.m_nRows = rows;
    plane.m_nCount = cols * rows;
    plane.m_pData = std::make_unique<uint16_t[]>(static_cast<size_t>(plane.m_nCount));
    for (int32_t y = 0; y < rows; ++y)
        for (int32_t x = 0; x < cols; ++x) plane.SetPixel(x, y, value(x, y));
}

std::vector<uint16_t> Samples(const CFrame& plane) {
    return std::vector<uint16_t>(plane.m_pData.get(), plane.m_pData.get() + plane.m_nCount);
}

}  // namespace testing_support
