// Packing a frame's 12-bit samples into the 24-bit pixels of the output display, with the column
// arrangement of the delay-line mode. Pure functions of the frame; nothing here draws.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "base/NonCopyable.h"

class CFrame;

namespace kavrel {

// Writes sample s as the three bytes blue, green, red of a 24-bit pixel, four sample bits in the
// high half of each byte: bits 4..7 in blue, 8..11 in green, 0..3 in red. Bits 12..15 are lost.
inline void PackSample(uint16_t s, uint8_t* pixel) {
    pixel[0] = static_cast<uint8_t>(s & 0xF0);
    pixel[1] = static_cast<uint8_t>((s >> 4) & 0xF0);
    pixel[2] = static_cast<uint8_t>((s & 0x0F) << 4);
}

// Whether the frame can be packed and drawn: it has samples, as many as its width times its
// height, its rows of 3-byte pixels end on a 4-byte boundary (the width is a multiple of 4) as
// the rows of a bitmap must, and its packed buffer has a size that can be stated.
bool CanPackFrame(const CFrame& frame);

// Bytes of the packed buffer of a frame that CanPackFrame accepts: 3 per sample.
size_t PackedFrameBytes(const CFrame& frame);

// Fills out (PackedFrameBytes bytes) with the packed pixels of a frame that CanPackFrame accepts,
// row 0 first and without padding. With the delay-line mode off, pixel (r, c) is sample (r, c).
// With it on, the straight columns (even ones; odd ones with the delay shift on) take sample
// (r, c) and the delayed columns sample (r + 1, c); in the last row the delayed columns have no
// sample and are black.
void PackFrame(const CFrame& frame, uint8_t* out);

// The buffer that frames are packed into before they are drawn, kept from one drawing to the
// next: frames of one size, as every frame of a run is, reuse it instead of allocating (and
// touching fresh pages) for every drawing.
class CPackedFrame : private kavrel::CNonCopyable {
public:
    CPackedFrame() = default;
    virtual ~CPackedFrame() = default;

    // A buffer of `bytes` bytes: the one it holds when that has the same size, else a new one;
    // null when it cannot be had.
    uint8_t* Reserve(size_t bytes);
    void Release();

private:
    std::unique_ptr<uint8_t[]> m_pBytes;
    size_t m_nBytes = 0;
};

// PackFrame places the bytes with the widest byte shuffles the processor has: 32-byte (2),
// 16-byte (1) or none (0). A lower limit makes it take the narrower paths, so that every path can
// be checked on one machine.
void LimitByteShuffles(int32_t widest);

}  // namespace kavrel
