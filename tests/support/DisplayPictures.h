// Display pictures and exposure files for the output tests: the unit tests and the export tests
// share these (header only: standard C++ and the library's byte helpers alone).
#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

#include "base/ByteIO.h"
#include "support/Bitmaps.h"
#include "support/CalibrationFiles.h"

namespace display_pictures {

inline size_t Stride(int32_t width) { return testing_support::BitmapStride(width); }

// A 24-bit bitmap file holding the pixel array (bottom row first, rows padded to 4 bytes).
inline std::vector<uint8_t> BitmapFile(int32_t width, int32_t height,
                                       const std::vector<uint8_t>& pixels) {
    return testing_support::BitmapFile(width, height, pixels);
}

// A LUT file of 256 entries for the inputs 0..255.
inline std::vector<uint8_t> LutFile(const std::vector<int16_t>& entries) {
    return testing_support::LutFileBytes(256, 0, 255, entries);
}

// An offset file whose map adds nothing.
inline std::vector<uint8_t> ZeroOffsetFile(int32_t cols, int32_t rows) {
    return testing_support::OffsetFileBytes(cols * rows, cols, rows,
                                            std::vector<uint16_t>(static_cast<size_t>(cols) * rows));
}

// Bytes that tell their positions apart well enough (xorshift).
inline std::vector<uint8_t> NoiseBytes(size_t count, uint32_t seed) {
    std::vector<uint8_t> out(count);
    uint32_t x = seed | 1;
    for (uint8_t& b : out) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        b = static_cast<uint8_t>(x >> 24);
    }
    return out;
}

// The LUT of the exposure check: entry v is v * 16, so the image byte travels in sample bits
// 4..11, which packing puts into the high halves of blue (bits 4..7) and green (bits 8..11).
inline std::vector<int16_t> ByteKeepingLut() {
    std::vector<int16_t> lut(256);
    for (int v = 0; v < 256; ++v) lut[v] = static_cast<int16_t>(16 * v);
    return lut;
}

// What the display shows: top line first, 3 bytes (blue, green, red) per pixel.
struct Picture {
    int32_t width = 0;
    int32_t height = 0;
    std::vector<uint8_t> bgr;

    static Picture Black(int32_t width, int32_t height) {
        return Picture{width, height,
                       std::vector<uint8_t>(3 * static_cast<size_t>(width) * height)};
    }
    uint8_t* At(int32_t x, int32_t y) { return &bgr[3 * (static_cast<size_t>(y) * width + x)]; }
    const uint8_t* At(int32_t x, int32_t y) const {
        return &bgr[3 * (static_cast<size_t>(y) * width + x)];
    }
    bool IsUniform(uint8_t blue, uint8_t green, uint8_t red) const {
        for (size_t i = 0; i < bgr.size(); i += 3)
            if (bgr[i] != blue || bgr[i + 1] != green || bgr[i + 2] != red) return false;
        return !bgr.empty();
    }
    bool operator==(const Picture&) const = default;
};

// How many pixels of two pictures of the same size differ; -1 when their sizes differ.
inline int PixelsThatDiffer(const Picture& a, const Picture& b) {
    if (a.width != b.width || a.height != b.height) return -1;
    int n = 0;
    for (size_t i = 0; i < a.bgr.size(); i += 3)
        n += a.bgr[i] != b.bgr[i] || a.bgr[i + 1] != b.bgr[i + 1] || a.bgr[i + 2] != b.bgr[i + 2];
    return n;
}

// The picture in a 24-bit bottom-up bitmap file; an empty picture when it is none.
inline Picture PictureFromBitmapFile(const std::vector<uint8_t>& file) {
    if (file.size() < 54 || file[0] != 'B' || file[1] != 'M' || file[28] != 24) return Picture{};
    const int32_t width = static_cast<int32_t>(kavrel::ReadLE32(&file[18]));
    const int32_t height = static_cast<int32_t>(kavrel::ReadLE32(&file[22]));
    const size_t offset = kavrel::ReadLE32(&file[10]);
    if (width <= 0 || height <= 0 || file.size() < offset + Stride(width) * height)
        return Picture{};
    Picture picture = Picture::Black(width, height);
    for (int32_t y = 0; y < height; ++y) {
        const uint8_t* row = &file[offset + Stride(width) * (height - 1 - y)];
        std::copy(row, row + 3 * static_cast<size_t>(width), picture.At(0, y));
    }
    return picture;
}

// The display's 24-bit pixel for a 12-bit sample.
inline void Pack(uint16_t s, uint8_t* bgr) {
    bgr[0] = static_cast<uint8_t>(s & 0xF0);
    bgr[1] = static_cast<uint8_t>((s >> 4) & 0xF0);
    bgr[2] = static_cast<uint8_t>((s & 0x0F) << 4);
}

// The picture after a frame of cols x rows samples (row after row, frame row 0 first) is drawn
// on `before`: the nominal area black first when the frame is smaller than nominal, then frame
// row r on display line rows - 1 - r from the top left corner, clipped to the display. In the
// delay-line mode the delayed columns show the next frame row's sample, and black where there
// is none.
inline Picture ExpectedDisplay(Picture before, int32_t cols, int32_t rows,
                               const std::vector<uint16_t>& samples, bool delayLine = false,
                               bool delayShift = false, int32_t nominalWidth = 1280,
                               int32_t nominalHeight = 1024) {
    Picture p = std::move(before);
    if (cols < nominalWidth || rows < nominalHeight)
        for (int32_t y = 0; y < std::min(nominalHeight, p.height); ++y)
            std::fill_n(p.At(0, y), 3 * std::min(nominalWidth, p.width), 0);
    for (int32_t y = 0; y < std::min(rows, p.height); ++y) {
        for (int32_t x = 0; x < std::min(cols, p.width); ++x) {
            const bool delayed = delayLine && (x % 2 == 1) != delayShift;
            const int32_t r = rows - 1 - y + (delayed ? 1 : 0);
            if (r < rows)
                Pack(samples[static_cast<size_t>(r) * cols + x], p.At(x, y));
            else
                std::fill_n(p.At(x, y), 3, 0);
        }
    }
    return p;
}

// Checks that the twelve frames of an exposure, each computed with the byte-keeping LUT and a
// zero offset map and shown on a 1280 x 1024 display, carry every pixel byte of the 2560 x 2048
// image exactly once.
class ExposureCheck {
public:
    static constexpr int32_t kWidth = 2560;
    static constexpr int32_t kHeight = 2048;

    explicit ExposureCheck(const std::vector<uint8_t>& pixels)
        : m_pixels(pixels), m_shown(pixels.size(), 0) {}

    // The frame of the colour byte and 2 x 2 position shown in the picture; returns the number
    // of display pixels that do not carry their image byte.
    int AddFrame(int color, int position, const Picture& shown) {
        if (shown.width != kWidth / 2 || shown.height != kHeight / 2) return -1;
        // Position 0 is the upper left pixel of the block; the bitmap's rows run bottom-up.
        const int dx = position == 1 || position == 2 ? 1 : 0;
        const int dy = position == 0 || position == 1 ? 1 : 0;
        int wrong = 0;
        for (int32_t r = 0; r < kHeight / 2; ++r) {
            for (int32_t c = 0; c < kWidth / 2; ++c) {
                const size_t at = Stride(kWidth) * (2 * r + dy) + 3 * (2 * c + dx) + color;
                const uint8_t* p = shown.At(c, kHeight / 2 - 1 - r);
                const int carried = p[1] | p[0] >> 4;
                if (carried != m_pixels[at] || (p[0] & 0x0F) != 0 || p[2] != 0) ++wrong;
                ++m_shown[at];
            }
        }
        return wrong;
    }

    bool EveryByteShownOnce() const {
        return std::all_of(m_shown.begin(), m_shown.end(), [](uint8_t n) { return n == 1; });
    }

private:
    const std::vector<uint8_t>& m_pixels;
    std::vector<uint8_t> m_shown;
};

}  // namespace display_pictures
