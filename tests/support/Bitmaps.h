// Bitmap files and pixel buffers generated for tests.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

namespace testing_support {

struct BitmapLayout {
    int32_t width = 4;
    int32_t height = 4;
    uint32_t headerSize = 40;  // 12, 40, 108 or 124
    uint16_t bitCount = 24;
    uint16_t planes = 1;
    uint32_t compression = 0;
};

// The byte of stored row r (0 = first stored, the bottom row), column c, colour byte b.
using PixelByte = std::function<uint8_t(int32_t r, int32_t c, int32_t b)>;

// The pixel array alone: rows of 3 x width bytes padded to a multiple of 4 (padding bytes 0xEE).
std::vector<uint8_t> PixelArray(int32_t width, int32_t height, const PixelByte& byte);

// A whole bitmap file: file header, information header (and a palette for 8 bits), pixels.
std::vector<uint8_t> BitmapFile(const BitmapLayout& layout, const PixelByte& byte);

// A byte pattern that differs for every position, colour and row, so misplaced reads show.
uint8_t PatternByte(int32_t r, int32_t c, int32_t b);

}  // namespace testing_support
