// A straightforward implementation of the frame and offset calculations, the reference that the
// library's speed is compared with: the same results, written as plain loops over the samples,
// with a fresh buffer for every result. The offset calculation shares the library's grid
// measurement and map update, so only its scan passes are written here.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

#include "calibration/CommonSteps.h"
#include "calibration/OffsetRules.h"
#include "calibration/Wrap32.h"
#include "image/Frame.h"
#include "image/Lut.h"
#include "base/NonCopyable.h"

namespace bench_shipped {

class CStraightforward : private kavrel::CNonCopyable {
public:
    CStraightforward() = default;
    virtual ~CStraightforward() = default;

    // Frame `color`, `position` of a 2560 x 2048 picture through the table and the offsets;
    // returns one sample so that the work is kept.
    uint16_t CalcFrame(const uint8_t* picture, int32_t color, int32_t position, const CLut& lut,
                       const CFrame& offsets) {
        const int32_t dx = position == 1 || position == 2 ? 1 : 0;
        const int32_t dy = position == 0 || position == 1 ? 1 : 0;
        m_Frame.reset();
        m_Frame.reset(new uint16_t[1280 * 1024]);
        const size_t stride = 2560 * 3;
        for (int32_t i = 0; i < 1024; ++i) {
            for (int32_t j = 0; j < 1280; ++j) {
                const uint8_t byte = picture[(2 * i + dy) * stride + 6 * j + 3 * dx + color];
                uint16_t level = byte < lut.m_nCount ? static_cast<uint16_t>(lut.m_pTable[byte]) : byte;
                const int16_t sum = static_cast<int16_t>(level + offsets.m_pData[i * 1280 + j]);
                m_Frame[i * 1280 + j] = static_cast<uint16_t>(sum < 0 ? 0 : (sum > 4095 ? 4095 : sum));
            }
        }
        return m_Frame[4711];
    }

    // Reads the scan with the C library, takes colour byte 1 through the table of the default
    // correction factor, turns it sample by sample, straightens it row by row and column by
    // column, and hands it to the library's grid measurement and map update.
    void CalcOffset(const std::string& scanPath, const std::string& offsetPath) {
        std::FILE* file = std::fopen(scanPath.c_str(), "rb");
        if (file == nullptr) return;
        std::fseek(file, 0, SEEK_END);
        const long length = std::ftell(file);
        std::fseek(file, 0, SEEK_SET);
        std::unique_ptr<uint8_t[]> bytes(new uint8_t[static_cast<size_t>(length)]);
        const size_t read = std::fread(bytes.get(), 1, static_cast<size_t>(length), file);
        std::fclose(file);
        if (read != static_cast<size_t>(length)) return;
        auto le32 = [&](size_t at) {
            return static_cast<int32_t>(bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16 |
                                        static_cast<uint32_t>(bytes[at + 3]) << 24);
        };
        const int32_t width = le32(18), height = le32(22);
        const uint8_t* pixels = bytes.get() + le32(10);
        const size_t stride = (3 * static_cast<size_t>(width) + 3) & ~size_t{3};

        CFrame plane;
        Resize(plane, height, width);
        for (int32_t y = 0; y < height; ++y)
            for (int32_t x = 0; x < width; ++x)
                plane.m_pData[y * width + x] = static_cast<uint16_t>(pixels[y * stride + 3 * x + 1] * 2000 / 255);

        CFrame scan;
        Resize(scan, width, height);
        for (int32_t y = 0; y < height; ++y)
            for (int32_t x = 0; x < width; ++x)
                scan.m_pData[x * height + (height - 1 - y)] = plane.m_pData[y * width + x];
        scan.SetEdgeThreshold(1800);
        Straighten(scan);

        const CBorderBox box = scan.GetBorderBox();
        CFrame map;
        map.Fill(999);
        if (!kavrel::offset::IsMeasurable(box, map)) return;
        map.SetFileName(offsetPath);
        kavrel::offset::UpdateOffsetMap(map, scan, box);
    }

private:
    static void Resize(CFrame& plane, int32_t rows, int32_t cols) {
        plane.m_nRows = rows;
        plane.m_nCols = cols;
        plane.m_nCount = rows * cols;
        plane.m_pData.reset(new uint16_t[static_cast<size_t>(plane.m_nCount)]);
    }

    // The library's straightening, each row and then each column moved on its own.
    static void Straighten(CFrame& scan) {
        using namespace kavrel::wrap32;
        const int32_t rows = scan.m_nRows, cols = scan.m_nCols;
        int32_t left = 0, right = 0, top = 0, bottom = 0, unused = 0;
        scan.FindRowEdges(rows / 2, left, right);
        scan.FindColumnEdges(cols / 2, top, bottom);
        if (bottom - top < 1 || right - left < 1) return;
        auto eighth = [](int32_t a, int32_t b) { return Div(Add(Mul(7, a), b), 8); };
        int32_t leftA = 0, leftB = 0, topA = 0, topB = 0;
        scan.FindRowEdges(eighth(top, bottom), leftA, unused);
        scan.FindRowEdges(eighth(bottom, top), leftB, unused);
        scan.FindColumnEdges(eighth(left, right), topA, unused);
        scan.FindColumnEdges(eighth(right, left), topB, unused);
        auto shift = [](int32_t pivot, int32_t line, int32_t drift, int32_t extent) {
            return Div(Mul(Mul(Sub(pivot, line), drift), 4), Mul(3, extent));
        };
        for (int32_t y = 0; y < rows; ++y) scan.ShiftRow(shift(cols / 2, y, Sub(leftB, leftA), bottom - top), y);
        for (int32_t x = 0; x < cols; ++x) scan.ShiftColumn(x, shift(rows / 2, x, Sub(topB, topA), right - left));
    }

    std::unique_ptr<uint16_t[]> m_Frame;
};

}  // namespace bench_shipped
