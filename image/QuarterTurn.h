// The clockwise quarter turn of an 8 x 8 block of 16-bit samples held in vector registers, shared
// by the plane's turn and by the scan preparation, which turns the samples as it reads them.
#pragma once

#include <cstddef>
#include <cstdint>

#ifdef __SSE2__
#include <emmintrin.h>

namespace kavrel {

// Rows r[0] (top) to r[7] of a block turned clockwise into dst (rows dstride samples apart): row k
// of dst is column k of the block read from the bottom up.
inline void StoreTurnedEightByEight(const __m128i (&r)[8], uint16_t* dst, size_t dstride) {
    __m128i a[8], b[8];
    for (int k = 0; k < 4; ++k) {
        a[2 * k] = _mm_unpacklo_epi16(r[7 - 2 * k], r[6 - 2 * k]);
        a[2 * k + 1] = _mm_unpackhi_epi16(r[7 - 2 * k], r[6 - 2 * k]);
    }
    for (int k = 0; k < 2; ++k) {
        b[4 * k] = _mm_unpacklo_epi32(a[4 * k], a[4 * k + 2]);
        b[4 * k + 1] = _mm_unpackhi_epi32(a[4 * k], a[4 * k + 2]);
        b[4 * k + 2] = _mm_unpacklo_epi32(a[4 * k + 1], a[4 * k + 3]);
        b[4 * k + 3] = _mm_unpackhi_epi32(a[4 * k + 1], a[4 * k + 3]);
    }
    for (int k = 0; k < 4; ++k) {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + 2 * k * dstride),
                         _mm_unpacklo_epi64(b[k], b[k + 4]));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + (2 * k + 1) * dstride),
                         _mm_unpackhi_epi64(b[k], b[k + 4]));
    }
}

}  // namespace kavrel

#endif
