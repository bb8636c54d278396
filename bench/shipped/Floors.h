// The streaming floor of each step: the same memory traffic as the step, done by plain loops over
// buffers of the step's sizes with no work per sample.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace bench_shipped {

// Keeps the compiler from dropping stores whose results nothing reads.
inline void KeepMemory(const void* p) { asm volatile("" : : "r"(p) : "memory"); }

// A frame: read the 1024 image rows it touches (7.86 MB, summed in four independent lanes), read
// the offset map (2.62 MB), write the frame (2.62 MB).
class CFrameFloor {
public:
    CFrameFloor() : m_Image(2560 * 2048 * 3 / 8, 3), m_Offsets(1280 * 1024, 5), m_Frame(1280 * 1024) {}
    virtual ~CFrameFloor() = default;

    void Pass() {
        uint64_t lanes[4] = {0, 0, 0, 0};
        for (size_t row = 0; row < 2048; row += 2) {
            const uint64_t* words = &m_Image[row * 960];
            for (size_t w = 0; w < 960; w += 4)
                for (size_t k = 0; k < 4; ++k) lanes[k] += words[w + k];
        }
        const uint64_t sum = lanes[0] + lanes[1] + lanes[2] + lanes[3];
        for (size_t i = 0; i < m_Frame.size(); ++i)
            m_Frame[i] = static_cast<uint16_t>(m_Offsets[i] + sum);
        KeepMemory(m_Frame.data());
    }

private:
    std::vector<uint64_t> m_Image;
    std::vector<uint16_t> m_Offsets;
    std::vector<uint16_t> m_Frame;
};

// Packing: read the frame's 2.62 MB and write the 3.93 MB of pixels, two words read for every
// three written.
class CPackingFloor {
public:
    CPackingFloor() : m_Samples(1280 * 1024 / 4, 7), m_Pixels(1280 * 1024 * 3 / 8) {}
    virtual ~CPackingFloor() = default;

    void Pass() {
        const uint64_t* in = m_Samples.data();
        uint64_t* out = m_Pixels.data();
        for (size_t k = 0; k < m_Samples.size() / 2; ++k, in += 2, out += 3) {
            out[0] = in[0];
            out[1] = in[1];
            out[2] = in[0] ^ in[1];
        }
        KeepMemory(m_Pixels.data());
    }

private:
    std::vector<uint64_t> m_Samples;
    std::vector<uint64_t> m_Pixels;
};

// The offset calculation: one plain pass for each pass it must make. Over the scan: the file read
// (a copy of the bitmap), one colour byte into the plane, the table, the quarter turn (a copy),
// the row shifts, the column shifts, the block averages (a read). Over the map: the fill, the
// smoothing (a copy), the old map's read and its addition, the mean, the constant added, the file
// written.
class COffsetFloor {
public:
    COffsetFloor(int32_t width, int32_t height)
        : m_File(static_cast<size_t>(width) * height * 3, 9),
          m_Bitmap(m_File.size()),
          m_Plane(static_cast<size_t>(width) * height),
          m_Turned(m_Plane.size()),
          m_Map(1280 * 1024),
          m_Smoothed(m_Map.size()),
          m_OldMap(m_Map.size() * 2, 1),
          m_Saved(m_Map.size() * 2) {}
    virtual ~COffsetFloor() = default;

    void Pass() {
        std::copy(m_File.begin(), m_File.end(), m_Bitmap.begin());
        KeepMemory(m_Bitmap.data());
        for (size_t i = 0; i < m_Plane.size(); ++i) m_Plane[i] = m_Bitmap[3 * i + 1];
        for (uint16_t& s : m_Plane) s = static_cast<uint16_t>(s * 20);
        KeepMemory(m_Plane.data());
        std::copy(m_Plane.begin(), m_Plane.end(), m_Turned.begin());
        KeepMemory(m_Turned.data());
        for (uint16_t& s : m_Turned) s = static_cast<uint16_t>(s + 1);
        KeepMemory(m_Turned.data());
        for (uint16_t& s : m_Turned) s = static_cast<uint16_t>(s + 1);
        uint32_t sum = 0;
        for (uint16_t s : m_Turned) sum += s;
        std::fill(m_Map.begin(), m_Map.end(), static_cast<uint16_t>(sum));
        std::copy(m_Map.begin(), m_Map.end(), m_Smoothed.begin());
        for (size_t i = 0; i < m_Map.size(); ++i)
            m_Smoothed[i] = static_cast<uint16_t>(m_Smoothed[i] + m_OldMap[2 * i]);
        for (uint16_t s : m_Smoothed) sum += s;
        for (uint16_t& s : m_Smoothed) s = static_cast<uint16_t>(s + sum);
        for (size_t i = 0; i < m_Map.size(); ++i) {
            m_Saved[2 * i] = static_cast<uint8_t>(m_Smoothed[i]);
            m_Saved[2 * i + 1] = static_cast<uint8_t>(m_Smoothed[i] >> 8);
        }
        KeepMemory(m_Saved.data());
    }

private:
    std::vector<uint8_t> m_File, m_Bitmap;
    std::vector<uint16_t> m_Plane, m_Turned, m_Map, m_Smoothed;
    std::vector<uint8_t> m_OldMap, m_Saved;
};

}  // namespace bench_shipped
