// A plane of real-valued samples for the offset measurement: a map measured pixel by pixel keeps
// its fractions until the map is written, so that averages of averages do not round twice.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>

#include "base/Allocation.h"
#include "base/NonCopyable.h"

namespace kavrel::offset {

class CWorkPlane : private CNonCopyable {
public:
    // A plane of width x height samples, all 0, or one without samples (HasData() false) when
    // no buffer could be had.
    CWorkPlane(int32_t width, int32_t height)
        : m_nWidth(std::max(width, 0)),
          m_nHeight(std::max(height, 0)),
          m_pData(TryAllocate<float>(static_cast<size_t>(m_nWidth) * m_nHeight)) {
        if (m_pData) std::fill_n(m_pData.get(), Count(), 0.0f);
    }
    virtual ~CWorkPlane() = default;

    bool HasData() const { return m_pData != nullptr; }
    int32_t Width() const { return m_nWidth; }
    int32_t Height() const { return m_nHeight; }
    size_t Count() const { return static_cast<size_t>(m_nWidth) * m_nHeight; }

    float& At(int32_t x, int32_t y) { return m_pData[static_cast<size_t>(y) * m_nWidth + x]; }
    float At(int32_t x, int32_t y) const { return m_pData[static_cast<size_t>(y) * m_nWidth + x]; }
    float* Data() { return m_pData.get(); }
    const float* Data() const { return m_pData.get(); }

private:
    int32_t m_nWidth;
    int32_t m_nHeight;
    std::unique_ptr<float[]> m_pData;
};

}  // namespace kavrel::offset
