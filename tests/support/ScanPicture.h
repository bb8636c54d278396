// Synthetic scans of the test exposure for the offset calculation, as 24-bit bitmap files: bright
// paper around a dark exposed rectangle that carries a bright mark at every grid point of the
// 1280 x 1024 map, where the calculation predicts it from the rectangle.
//
// A picture is described as the calculation sees it after its clockwise quarter turn (width and
// height, rectangle and marks in those coordinates); the file holds it turned back, so the bitmap
// is `height` pixels wide and `width` pixels high. Header-only and standard C++ only, so that the
// unit tests, the export tests, the fuzz targets and the benchmarks can all use it.
#pragma once

#include <cstdint>
#include <cstring>
#include <functional>
#include <vector>

#include "support/Bitmaps.h"

namespace testing_support {

struct ScanPicture {
    int32_t width = 1580;  // after the turn
    int32_t height = 1280;
    // The exposed rectangle after the turn, inclusive; the calculation's border box.
    int32_t left = 40;
    int32_t top = 40;
    int32_t right = 1540;
    int32_t bottom = 1240;
    uint8_t paper = 255;
    uint8_t mark = 220;
    bool marks = true;
    // The pixel byte that carries the picture; the other two carry its complement, or with
    // complement false the picture too.
    int32_t color = 1;
    bool complement = true;
    // How far the exposed rectangle's bottom row lies to the right of its top row; the rows
    // between shift in proportion (a print that lay askew).
    int32_t shear = 0;
    // The exposed area's byte at column x, row y after the turn; called row after row, left to
    // right, once for each exposed pixel inside the picture.
    std::function<uint8_t(int32_t x, int32_t y)> exposure = [](int32_t, int32_t) {
        return uint8_t{100};
    };

    // Where the calculation looks for the mark of map column x and map row y.
    int32_t MarkX(int32_t mapX) const { return left + (right - left) * mapX / 1280; }
    int32_t MarkY(int32_t mapY) const { return top + (bottom - top) * mapY / 1024; }
    // How far row y of the exposed rectangle is shifted to the right.
    int32_t ShiftAt(int32_t y) const {
        return bottom > top ? shear * (y - top) / (bottom - top) : 0;
    }
    bool Inside(int32_t x, int32_t y) const { return x >= 0 && x < width && y >= 0 && y < height; }
};

// The picture's bytes after the turn, row after row; what lies outside the picture is left out.
inline std::vector<uint8_t> TurnedBytes(const ScanPicture& p) {
    std::vector<uint8_t> bytes(static_cast<size_t>(p.width) * p.height, p.paper);
    for (int32_t y = p.top; y <= p.bottom; ++y) {
        const int32_t shift = p.ShiftAt(y);
        for (int32_t x = p.left + shift; x <= p.right + shift; ++x)
            if (p.Inside(x, y)) bytes[static_cast<size_t>(y) * p.width + x] = p.exposure(x, y);
    }
    if (p.marks && p.right > p.left && p.bottom > p.top) {
        for (int32_t mapX = 31; mapX < 1280; mapX += 64) {
            for (int32_t mapY = 31; mapY < 1024; mapY += 64) {
                const int32_t x = p.MarkX(mapX), y = p.MarkY(mapY);
                if (p.Inside(x, y)) bytes[static_cast<size_t>(y) * p.width + x] = p.mark;
            }
        }
    }
    return bytes;
}

// The pixel array of the scan: stored row r, column c holds the turned picture's sample at column
// width - 1 - r, row c, which the clockwise quarter turn brings back there.
inline std::vector<uint8_t> ScanPixelArray(const ScanPicture& p) {
    const std::vector<uint8_t> turned = TurnedBytes(p);
    const int32_t bitmapWidth = p.height;
    const int32_t bitmapHeight = p.width;
    const size_t stride = BitmapStride(bitmapWidth);
    std::vector<uint8_t> pixels(stride * bitmapHeight, 0);
    for (int32_t r = 0; r < bitmapHeight; ++r) {
        const int32_t x = p.width - 1 - r;
        for (int32_t c = 0; c < bitmapWidth; ++c) {
            const uint8_t value = turned[static_cast<size_t>(c) * p.width + x];
            uint8_t* pixel = &pixels[r * stride + 3 * static_cast<size_t>(c)];
            for (int32_t byte = 0; byte < 3; ++byte)
                pixel[byte] = byte == p.color || !p.complement ? value
                                                              : static_cast<uint8_t>(255 - value);
        }
    }
    return pixels;
}

inline std::vector<uint8_t> ScanBitmapFile(const ScanPicture& p) {
    return BitmapFile(p.height, p.width, ScanPixelArray(p));
}

// A scan described in a few bytes, which keeps the offset calculation's fuzz inputs, and its
// saved corpus, small. A measurable scan needs an exposed area of at least 1409 x 1128 pixels,
// which only a description in units of 6 pixels (flag bit 2) reaches; smaller scans try
// everything up to the refusal.
//
// Description, in bytes: width - 1, height - 1 (of the picture after the turn), left, top, right,
// bottom of the dark area, its byte, the paper's byte, the marks' byte, flags (bit 0: marks at
// the grid points, bit 1: the colour byte carries the picture and the others its complement,
// else all three carry it; bit 2: the sizes and places are in units of 6 pixels), the shear
// (signed, in the same units), then any number of texture bytes added to the dark area in turn.
// Missing bytes count as 0. color is the byte that the offset calculation reads. The picture's
// texture is used up as it is drawn: draw each described picture once.
constexpr size_t kScanDescriptionSize = 11;

inline ScanPicture DescribedScan(const uint8_t* d, size_t size, int32_t color) {
    uint8_t f[kScanDescriptionSize] = {};
    if (size != 0) std::memcpy(f, d, size < sizeof f ? size : sizeof f);
    const int32_t unit = f[9] & 4 ? 6 : 1;
    ScanPicture p;
    p.width = (f[0] + 1) * unit;
    p.height = (f[1] + 1) * unit;
    p.left = f[2] * unit;
    p.top = f[3] * unit;
    p.right = f[4] * unit;
    p.bottom = f[5] * unit;
    p.paper = f[7];
    p.mark = f[8];
    p.marks = f[9] & 1;
    p.complement = f[9] & 2;
    p.color = color;
    p.shear = static_cast<int8_t>(f[10]) * unit;
    const uint8_t dark = f[6];
    if (size > sizeof f) {
        std::vector<uint8_t> texture(d + sizeof f, d + size);
        p.exposure = [dark, texture, t = size_t{0}](int32_t, int32_t) mutable {
            return static_cast<uint8_t>(dark + texture[t++ % texture.size()]);
        };
    } else {
        p.exposure = [dark](int32_t, int32_t) { return dark; };
    }
    return p;
}

}  // namespace testing_support
