// Scans of the test exposure for the offset calculation's fuzz target, described in a few bytes
// and drawn as 24-bit bitmap files; the description keeps the fuzzer's inputs, and the saved
// corpus, small. A measurable scan needs an exposed area of at least 1409 x 1128 pixels, which
// only a description in units of 6 pixels (flag bit 2) reaches; smaller scans try everything up
// to the refusal.
//
// Description, in bytes: width - 1, height - 1 (of the picture as the calculation sees it after
// its quarter turn), left, top, right, bottom of the dark area, its byte, the paper's byte, the
// marks' byte, flags (bit 0: marks at the grid points, bit 1: the colour byte carries the picture
// and the others its complement, else all three carry it; bit 2: the sizes and places are in
// units of 6 pixels), the shear of the left edge (signed, in the same units over the area's
// height), then any number of texture bytes added to the dark area in turn.
#pragma once

#include <cstdint>
#include <cstring>
#include <vector>

namespace fuzzing {

constexpr size_t kScanDescriptionSize = 11;

// The bitmap file for the description; color is the byte that CalcOffset reads.
inline std::vector<uint8_t> DrawScan(const uint8_t* d, size_t size, int32_t color) {
    uint8_t f[kScanDescriptionSize] = {};
    std::memcpy(f, d, size < sizeof f ? size : sizeof f);
    const int32_t unit = f[9] & 4 ? 6 : 1;
    const int32_t width = (f[0] + 1) * unit, height = (f[1] + 1) * unit;
    const int32_t left = f[2] * unit, top = f[3] * unit, right = f[4] * unit, bottom = f[5] * unit;
    const uint8_t dark = f[6], paper = f[7], mark = f[8];
    const bool marks = f[9] & 1, complement = f[9] & 2;
    const int32_t shear = static_cast<int8_t>(f[10]) * unit;
    const uint8_t* texture = size > sizeof f ? d + sizeof f : nullptr;
    const size_t textureSize = size > sizeof f ? size - sizeof f : 0;

    // The turned picture, row after row.
    std::vector<uint8_t> turned(static_cast<size_t>(width) * height, paper);
    size_t t = 0;
    for (int32_t y = top; y <= bottom && y < height; ++y) {
        const int32_t shift = bottom > top ? shear * (y - top) / (bottom - top) : 0;
        for (int32_t x = left + shift; x <= right + shift && x < width; ++x) {
            if (x < 0) continue;
            uint8_t value = dark;
            if (texture != nullptr)
                value = static_cast<uint8_t>(value + texture[t++ % textureSize]);
            turned[static_cast<size_t>(y) * width + x] = value;
        }
    }
    if (marks && right > left && bottom > top) {
        for (int32_t mapX = 31; mapX < 1280; mapX += 64) {
            for (int32_t mapY = 31; mapY < 1024; mapY += 64) {
                const int32_t x = left + (right - left) * mapX / 1280;
                const int32_t y = top + (bottom - top) * mapY / 1024;
                if (x < width && y < height) turned[static_cast<size_t>(y) * width + x] = mark;
            }
        }
    }

    // The file holds the picture turned back: `height` pixels wide and `width` rows high. The
    // clockwise turn takes stored column c of row r to column width - 1 - r of picture row c.
    const int32_t fileWidth = height, fileHeight = width;
    const size_t stride = (3 * static_cast<size_t>(fileWidth) + 3) & ~size_t{3};
    std::vector<uint8_t> file(54 + stride * fileHeight, 0);
    auto put = [&](size_t at, uint32_t v, int bytes) {
        for (int i = 0; i < bytes; ++i) file[at + i] = static_cast<uint8_t>(v >> (8 * i));
    };
    file[0] = 'B';
    file[1] = 'M';
    put(2, static_cast<uint32_t>(file.size()), 4);
    put(10, 54, 4);
    put(14, 40, 4);
    put(18, static_cast<uint32_t>(fileWidth), 4);
    put(22, static_cast<uint32_t>(fileHeight), 4);
    put(26, 1, 2);
    put(28, 24, 2);
    for (int32_t r = 0; r < fileHeight; ++r) {
        for (int32_t c = 0; c < fileWidth; ++c) {
            const uint8_t value = turned[static_cast<size_t>(c) * width + (width - 1 - r)];
            uint8_t* pixel = &file[54 + r * stride + 3 * static_cast<size_t>(c)];
            for (int32_t b = 0; b < 3; ++b)
                pixel[b] = complement && b != color ? static_cast<uint8_t>(255 - value) : value;
        }
    }
    return file;
}

}  // namespace fuzzing
