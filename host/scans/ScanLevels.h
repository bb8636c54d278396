// A scan's samples as the offset calculation sees them: one colour byte of every pixel through
// the linear table 0 .. factor x 20, exposed (dark) below threshold percent of the table's top.
#pragma once

#include <array>
#include <cstdint>

namespace host {

class CDarkness {
public:
    CDarkness(int threshold, int factor) {
        const int16_t step = static_cast<int16_t>(static_cast<uint32_t>(factor) * 20u);
        const int32_t product = static_cast<int32_t>(static_cast<uint32_t>(threshold) *
                                                     static_cast<uint32_t>(factor) * 20u);
        m_nThreshold = static_cast<int16_t>(product / 100);
        if (m_nThreshold == 0) m_nThreshold = 3500;
        for (int32_t i = 0; i < 256; ++i) m_Levels[i] = static_cast<int16_t>(i * step / 255);
    }
    virtual ~CDarkness() = default;

    int32_t Level(uint8_t byte) const { return m_Levels[byte]; }
    bool IsDark(uint8_t byte) const { return m_Levels[byte] < m_nThreshold; }
    int32_t Threshold() const { return m_nThreshold; }

private:
    std::array<int16_t, 256> m_Levels{};
    int32_t m_nThreshold = 0;
};

}  // namespace host
