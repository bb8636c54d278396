// Bitmap files and pixel buffers generated for tests. Header only and standard C++ alone, so that
// the export tests, the fuzz targets and the benchmarks can use it too.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <functional>
#include <vector>

#include "support/LittleEndian.h"

namespace testing_support {

struct BitmapLayout {
    int32_t width = 4;
    int32_t height = 4;
    uint32_t headerSize = 40;  // 12, 40, 108 or 124
    uint16_t bitCount = 24;
    uint16_t planes = 1;
    uint32_t compression = 0;
};

// Bytes from one stored row to the next: whole 32-bit words.
inline size_t BitmapStride(int32_t width, uint16_t bitCount = 24) {
    return ((static_cast<size_t>(width) * bitCount + 31) / 32) * 4;
}

// The file header and the information header of a bitmap whose palette and pixel array, of
// paletteSize and pixelSize bytes, follow; the part of a header longer than 40 bytes that no
// field here fills holds headerFill.
inline std::vector<uint8_t> BitmapHeaders(const BitmapLayout& layout, uint32_t paletteSize,
                                          uint32_t pixelSize, uint8_t headerFill = 0) {
    const uint32_t offset = 14 + layout.headerSize + paletteSize;
    std::vector<uint8_t> file = {'B', 'M'};
    PutLE32(file, offset + pixelSize);
    PutLE32(file, 0);
    PutLE32(file, offset);
    PutLE32(file, layout.headerSize);
    if (layout.headerSize == 12) {
        PutLE16(file, static_cast<uint32_t>(layout.width));
        PutLE16(file, static_cast<uint32_t>(layout.height));
        PutLE16(file, layout.planes);
        PutLE16(file, layout.bitCount);
        return file;
    }
    PutLE32(file, static_cast<uint32_t>(layout.width));
    PutLE32(file, static_cast<uint32_t>(layout.height));
    PutLE16(file, layout.planes);
    PutLE16(file, layout.bitCount);
    PutLE32(file, layout.compression);
    PutLE32(file, pixelSize);
    PutLE32(file, 2835);
    PutLE32(file, 2835);
    PutLE32(file, 0);
    PutLE32(file, 0);
    file.resize(14 + layout.headerSize, headerFill);
    return file;
}

// A bitmap file with a 40-byte information header and the given pixel array.
inline std::vector<uint8_t> BitmapFile(int32_t width, int32_t height,
                                       const std::vector<uint8_t>& pixelArray,
                                       uint16_t bitCount = 24, uint32_t compression = 0,
                                       uint16_t planes = 1) {
    BitmapLayout layout{width, height, 40, bitCount, planes, compression};
    std::vector<uint8_t> file =
        BitmapHeaders(layout, 0, static_cast<uint32_t>(pixelArray.size()));
    file.insert(file.end(), pixelArray.begin(), pixelArray.end());
    return file;
}

// The byte of stored row r (0 = first stored, the bottom row), column c, colour byte b.
using PixelByte = std::function<uint8_t(int32_t r, int32_t c, int32_t b)>;

// The pixel array alone: rows of 3 x width bytes padded to a multiple of 4 (padding bytes 0xEE).
inline std::vector<uint8_t> PixelArray(int32_t width, int32_t height, const PixelByte& byte) {
    const size_t stride = BitmapStride(width);
    const int32_t rows = std::abs(height);
    std::vector<uint8_t> pixels(stride * rows, 0xEE);
    for (int32_t r = 0; r < rows; ++r)
        for (int32_t c = 0; c < width; ++c)
            for (int32_t b = 0; b < 3; ++b) pixels[r * stride + 3 * c + b] = byte(r, c, b);
    return pixels;
}

// A whole bitmap file: file header, information header (the rest of a longer one 0x5A), a
// palette of zeros for 8 bits and fewer, and the pixels (other depths than 24 bits: all 0x11).
inline std::vector<uint8_t> BitmapFile(const BitmapLayout& layout, const PixelByte& byte) {
    const uint32_t paletteSize = layout.bitCount <= 8 ? 4u << layout.bitCount : 0;
    std::vector<uint8_t> pixels;
    if (layout.bitCount == 24)
        pixels = PixelArray(layout.width, layout.height, byte);
    else
        pixels.assign(BitmapStride(layout.width, layout.bitCount) * std::abs(layout.height), 0x11);
    std::vector<uint8_t> file =
        BitmapHeaders(layout, paletteSize, static_cast<uint32_t>(pixels.size()), 0x5A);
    file.resize(file.size() + paletteSize, 0);
    file.insert(file.end(), pixels.begin(), pixels.end());
    return file;
}

// A byte pattern that differs for every position, colour and row, so misplaced reads show.
inline uint8_t PatternByte(int32_t r, int32_t c, int32_t b) {
    return static_cast<uint8_t>(r * 7 + c * 13 + b * 101 + (r * c) % 5);
}

}  // namespace testing_support
