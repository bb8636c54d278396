// Eight bytes of a pixel row looked up in a 256-entry table and gathered into the 16-bit lanes of
// one SSE2 register: the inner step of turning picture bytes into samples.
#pragma once

#include <cstddef>
#include <cstdint>

#ifdef __SSE2__
#include <emmintrin.h>

namespace kavrel {

// The map's entries for the bytes at in[0], in[kStride], ... in[7 * kStride], put into the lanes
// one by one straight from the table (no store and reload of the row), in two independent chains
// of four so that the inserts of one wait less on the other.
template <size_t kStride>
inline __m128i GatherEightMapped(const uint8_t* in, const uint16_t (&map)[256]) {
    __m128i a = _mm_cvtsi32_si128(map[in[0]]);
    __m128i b = _mm_cvtsi32_si128(map[in[4 * kStride]]);
    a = _mm_insert_epi16(a, map[in[kStride]], 1);
    b = _mm_insert_epi16(b, map[in[5 * kStride]], 1);
    a = _mm_insert_epi16(a, map[in[2 * kStride]], 2);
    b = _mm_insert_epi16(b, map[in[6 * kStride]], 2);
    a = _mm_insert_epi16(a, map[in[3 * kStride]], 3);
    b = _mm_insert_epi16(b, map[in[7 * kStride]], 3);
    return _mm_unpacklo_epi64(a, b);
}

}  // namespace kavrel

#endif
