#include "support/Bitmaps.h"

#include <cstdlib>

#include "support/TestFiles.h"

namespace testing_support {

std::vector<uint8_t> PixelArray(int32_t width, int32_t height, const PixelByte& byte) {
    const int32_t stride = (3 * width + 3) & ~3;
    const int32_t rows = std::abs(height);
    std::vector<uint8_t> pixels(static_cast<size_t>(stride) * rows, 0xEE);
    for (int32_t r = 0; r < rows; ++r)
        for (int32_t c = 0; c < width; ++c)
            for (int32_t b = 0; b < 3; ++b) pixels[r * stride + 3 * c + b] = byte(r, c, b);
    return pixels;
}

std::vector<uint8_t> BitmapFile(const BitmapLayout& layout, const PixelByte& byte) {
    const uint32_t paletteSize = layout.bitCount <= 8 ? 4u << layout.bitCount : 0;
    std::vector<uint8_t> pixels;
    if (layout.bitCount == 24) {
        pixels = PixelArray(layout.width, layout.height, byte);
    } else {
        const int32_t stride = ((layout.width * layout.bitCount + 31) / 32) * 4;
        pixels.assign(static_cast<size_t>(stride) * std::abs(layout.height), 0x11);
    }
    const uint32_t offset = 14 + layout.headerSize + paletteSize;
    std::vector<uint8_t> file = {'B', 'M'};
    PutLE32(file, offset + static_cast<uint32_t>(pixels.size()));
    PutLE32(file, 0);
    PutLE32(file, offset);
    PutLE32(file, layout.headerSize);
    if (layout.headerSize == 12) {
        PutLE16(file, static_cast<uint32_t>(layout.width));
        PutLE16(file, static_cast<uint32_t>(layout.height));
        PutLE16(file, layout.planes);
        PutLE16(file, layout.bitCount);
    } else {
        PutLE32(file, static_cast<uint32_t>(layout.width));
        PutLE32(file, static_cast<uint32_t>(layout.height));
        PutLE16(file, layout.planes);
        PutLE16(file, layout.bitCount);
        PutLE32(file, layout.compression);
        PutLE32(file, static_cast<uint32_t>(pixels.size()));
        PutLE32(file, 2835);
        PutLE32(file, 2835);
        PutLE32(file, 0);
        PutLE32(file, 0);
        file.resize(14 + layout.headerSize, 0x5A);  // the rest of a longer header
    }
    file.resize(file.size() + paletteSize, 0);
    file.insert(file.end(), pixels.begin(), pixels.end());
    return file;
}

uint8_t PatternByte(int32_t r, int32_t c, int32_t b) {
    return static_cast<uint8_t>(r * 7 + c * 13 + b * 101 + (r * c) % 5);
}

}  // namespace testing_support
