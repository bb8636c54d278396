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

std::vector<uint8_t> BitmapFile(const BitmapSpec& spec, const PixelByte& byte) {
    const uint32_t paletteSize = spec.bitCount <= 8 ? 4u << spec.bitCount : 0;
    std::vector<uint8_t> pixels;
    if (spec.bitCount == 24) {
        pixels = PixelArray(spec.width, spec.height, byte);
    } else {
        const int32_t stride = ((spec.width * spec.bitCount + 31) / 32) * 4;
        pixels.assign(static_cast<size_t>(stride) * std::abs(spec.height), 0x11);
    }
    const uint32_t offset = 14 + spec.headerSize + paletteSize;
    std::vector<uint8_t> file = {'B', 'M'};
    PutLE32(file, offset + static_cast<uint32_t>(pixels.size()));
    PutLE32(file, 0);
    PutLE32(file, offset);
    PutLE32(file, spec.headerSize);
    if (spec.headerSize == 12) {
        PutLE16(file, static_cast<uint32_t>(spec.width));
        PutLE16(file, static_cast<uint32_t>(spec.height));
        PutLE16(file, spec.planes);
        PutLE16(file, spec.bitCount);
    } else {
        PutLE32(file, static_cast<uint32_t>(spec.width));
        PutLE32(file, static_cast<uint32_t>(spec.height));
        PutLE16(file, spec.planes);
        PutLE16(file, spec.bitCount);
        PutLE32(file, spec.compression);
        PutLE32(file, static_cast<uint32_t>(pixels.size()));
        PutLE32(file, 2835);
        PutLE32(file, 2835);
        PutLE32(file, 0);
        PutLE32(file, 0);
        file.resize(14 + spec.headerSize, 0x5A);  // the rest of a longer header
    }
    file.resize(file.size() + paletteSize, 0);
    file.insert(file.end(), pixels.begin(), pixels.end());
    return file;
}

uint8_t PatternByte(int32_t r, int32_t c, int32_t b) {
    return static_cast<uint8_t>(r * 7 + c * 13 + b * 101 + (r * c) % 5);
}

}  // namespace testing_support
