// Synthetic scans of the test exposure for the offset calculation, as 24-bit bitmap files: bright
// paper around a dark exposed rectangle that carries a bright mark at every grid point of the
// 1280 x 1024 map, where the calculation predicts it from the rectangle.
//
// A picture is described as the calculation sees it after its clockwise quarter turn (width and
// height, rectangle and marks in those coordinates); the file holds it turned back, so the bitmap
// is `height` pixels wide and `width` pixels high. Header-only and standard C++ only, so that the
// unit tests, the Windows test host and the benchmarks can all use it.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

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
    // The pixel byte that carries the picture; the other two carry its complement.
    int32_t color = 1;
    // The exposed area's byte at column x, row y after the turn.
    std::function<uint8_t(int32_t x, int32_t y)> exposure = [](int32_t, int32_t) {
        return uint8_t{100};
    };

    // Where the calculation looks for the mark of map column x and map row y.
    int32_t MarkX(int32_t mapX) const { return left + (right - left) * mapX / 1280; }
    int32_t MarkY(int32_t mapY) const { return top + (bottom - top) * mapY / 1024; }
};

// The picture's bytes after the turn, row after row.
inline std::vector<uint8_t> TurnedBytes(const ScanPicture& p) {
    std::vector<uint8_t> bytes(static_cast<size_t>(p.width) * p.height, p.paper);
    for (int32_t y = p.top; y <= p.bottom; ++y)
        for (int32_t x = p.left; x <= p.right; ++x)
            bytes[static_cast<size_t>(y) * p.width + x] = p.exposure(x, y);
    if (p.marks) {
        for (int32_t mapX = 31; mapX < 1280; mapX += 64)
            for (int32_t mapY = 31; mapY < 1024; mapY += 64)
                bytes[static_cast<size_t>(p.MarkY(mapY)) * p.width + p.MarkX(mapX)] = p.mark;
    }
    return bytes;
}

inline void PutLittleEndian(std::vector<uint8_t>& out, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

// Bytes from one stored row of a 24-bit bitmap to the next.
inline size_t BitmapStride(int32_t width) {
    return (3 * static_cast<size_t>(width) + 3) & ~size_t{3};
}

// A bitmap file with a 40-byte information header and the given pixel array.
inline std::vector<uint8_t> BitmapFile(int32_t width, int32_t height,
                                       const std::vector<uint8_t>& pixelArray,
                                       uint16_t bitCount = 24, uint32_t compression = 0,
                                       uint16_t planes = 1) {
    std::vector<uint8_t> file{'B', 'M'};
    PutLittleEndian(file, static_cast<uint32_t>(54 + pixelArray.size()), 4);
    PutLittleEndian(file, 0, 4);
    PutLittleEndian(file, 54, 4);
    PutLittleEndian(file, 40, 4);
    PutLittleEndian(file, static_cast<uint32_t>(width), 4);
    PutLittleEndian(file, static_cast<uint32_t>(height), 4);
    PutLittleEndian(file, planes, 2);
    PutLittleEndian(file, bitCount, 2);
    PutLittleEndian(file, compression, 4);
    PutLittleEndian(file, static_cast<uint32_t>(pixelArray.size()), 4);
    PutLittleEndian(file, 2835, 4);
    PutLittleEndian(file, 2835, 4);
    PutLittleEndian(file, 0, 4);
    PutLittleEndian(file, 0, 4);
    file.insert(file.end(), pixelArray.begin(), pixelArray.end());
    return file;
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
                pixel[byte] = byte == p.color ? value : static_cast<uint8_t>(255 - value);
        }
    }
    return pixels;
}

inline std::vector<uint8_t> ScanBitmapFile(const ScanPicture& p) {
    return BitmapFile(p.height, p.width, ScanPixelArray(p));
}

}  // namespace testing_support
