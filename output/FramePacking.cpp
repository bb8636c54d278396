#include "output/FramePacking.h"

#include <cstdint>
#include <cstring>

#ifdef __SSE2__
#include <emmintrin.h>
#endif
#if defined(__SSE2__) && defined(__GNUC__) && (defined(__i386__) || defined(__x86_64__))
#include <immintrin.h>
#define KAVREL_BYTE_SHUFFLES 1
#endif

#include "base/Allocation.h"
#include "image/Frame.h"

namespace kavrel {

namespace {

#ifdef __SSE2__
// Eight samples, the even ones from evenFrom and the odd ones from oddFrom, as the low 16 bits
// (blue and green) and the high 8 bits (red, in the low byte) of their pixels.
inline void SplitEight(const uint16_t* evenFrom, const uint16_t* oddFrom, __m128i& low,
                       __m128i& high) {
    const __m128i oddLanes = _mm_set1_epi32(static_cast<int32_t>(0xFFFF0000u));
    const __m128i even = _mm_loadu_si128(reinterpret_cast<const __m128i*>(evenFrom));
    const __m128i odd = _mm_loadu_si128(reinterpret_cast<const __m128i*>(oddFrom));
    const __m128i s = _mm_or_si128(_mm_andnot_si128(oddLanes, even), _mm_and_si128(oddLanes, odd));
    const __m128i up = _mm_slli_epi16(s, 4);
    low = _mm_or_si128(_mm_and_si128(s, _mm_set1_epi16(0x00F0)),
                       _mm_and_si128(up, _mm_set1_epi16(static_cast<int16_t>(0xF000))));
    high = _mm_and_si128(up, _mm_set1_epi16(0x00F0));
}

// Eight packed pixels (24 bytes) of eight samples; writes 28 bytes, the last 4 of them to be
// overwritten by the next pixels.
inline void PackEight(const uint16_t* evenFrom, const uint16_t* oddFrom, uint8_t* out) {
    __m128i low, high;
    SplitEight(evenFrom, oddFrom, low, high);
    const __m128i firstFour = _mm_unpacklo_epi16(low, high);  // one 24-bit pixel per 32-bit lane
    const __m128i lastFour = _mm_unpackhi_epi16(low, high);
    // Two pixels per 64-bit lane, 6 bytes; then the upper lane's 6 bytes moved next to the lower's.
    const __m128i lowPixel = _mm_set_epi32(0, -1, 0, -1);
    const __m128i highPixel = _mm_set_epi32(0xFFFF, static_cast<int32_t>(0xFF000000u), 0xFFFF,
                                            static_cast<int32_t>(0xFF000000u));
    const __m128i lowSix = _mm_set_epi32(0, 0, 0xFFFF, -1);
    const __m128i nextSix = _mm_set_epi32(0, -1, static_cast<int32_t>(0xFFFF0000u), 0);
    auto twelveBytes = [&](__m128i pixels) {
        const __m128i pairs = _mm_or_si128(_mm_and_si128(pixels, lowPixel),
                                           _mm_and_si128(_mm_srli_epi64(pixels, 8), highPixel));
        return _mm_or_si128(_mm_and_si128(pairs, lowSix),
                            _mm_and_si128(_mm_srli_si128(pairs, 2), nextSix));
    };
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out), twelveBytes(firstFour));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 12), twelveBytes(lastFour));
}
#endif

#ifdef KAVREL_BYTE_SHUFFLES
// With byte shuffles each output byte is taken straight from one of two registers that hold all
// three bytes of every sample, already masked to their four bits: `blue` has sample k's blue
// byte (s & 0xF0) in byte 2k, `greenRed` its red byte ((s << 4) & 0xF0) in byte 2k and its green
// byte ((s >> 4) & 0xF0) in byte 2k + 1. Two shuffles and an OR give the first 16 bytes of eight
// pixels (pixels 0 to 4 and the blue byte of pixel 5), two more the remaining 8.
#define KAVREL_FIRST_FROM_BLUE 0, -1, -1, 2, -1, -1, 4, -1, -1, 6, -1, -1, 8, -1, -1, 10
#define KAVREL_FIRST_FROM_GREEN_RED -1, 1, 0, -1, 3, 2, -1, 5, 4, -1, 7, 6, -1, 9, 8, -1
#define KAVREL_LAST_FROM_BLUE -1, -1, 12, -1, -1, 14, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1
#define KAVREL_LAST_FROM_GREEN_RED 11, 10, -1, 13, 12, -1, 15, 14, -1, -1, -1, -1, -1, -1, -1, -1

// Eight samples from two frame rows: the even ones from evenFrom, the odd ones from oddFrom.
template <bool kOneRow>
__attribute__((target("ssse3"))) inline __m128i LoadColumnPairs(const uint16_t* evenFrom,
                                                                const uint16_t* oddFrom) {
    const __m128i even = _mm_loadu_si128(reinterpret_cast<const __m128i*>(evenFrom));
    if (kOneRow) return even;
    const __m128i oddLanes = _mm_set1_epi32(static_cast<int32_t>(0xFFFF0000u));
    const __m128i odd = _mm_loadu_si128(reinterpret_cast<const __m128i*>(oddFrom));
    return _mm_or_si128(_mm_andnot_si128(oddLanes, even), _mm_and_si128(oddLanes, odd));
}

// The 24 bytes of eight pixels as a first 16 and a last 8 (the upper half of `last` is zero).
__attribute__((target("ssse3"))) inline void ShuffleEight(__m128i v, __m128i& first, __m128i& last) {
    const __m128i blue = _mm_and_si128(v, _mm_set1_epi16(0x00F0));
    const __m128i greenRed =
        _mm_and_si128(_mm_slli_epi16(v, 4), _mm_set1_epi16(static_cast<int16_t>(0xF0F0)));
    first = _mm_or_si128(_mm_shuffle_epi8(blue, _mm_setr_epi8(KAVREL_FIRST_FROM_BLUE)),
                         _mm_shuffle_epi8(greenRed, _mm_setr_epi8(KAVREL_FIRST_FROM_GREEN_RED)));
    last = _mm_or_si128(_mm_shuffle_epi8(blue, _mm_setr_epi8(KAVREL_LAST_FROM_BLUE)),
                        _mm_shuffle_epi8(greenRed, _mm_setr_epi8(KAVREL_LAST_FROM_GREEN_RED)));
}

// Sixteen pixels a step while a whole step fits: the last 8 bytes of the first eight pixels are
// stored as 16, and the next eight pixels' bytes overwrite the 8 zeros; then eight at a time, each
// stored as exactly 24 bytes.
template <bool kOneRow>
__attribute__((target("ssse3"))) void PackColumnPairsShuffledRows(const uint16_t* evenFrom,
                                                                  const uint16_t* oddFrom,
                                                                  int32_t cols, uint8_t* out) {
    int32_t c = 0;
    __m128i first, last;
    for (; c + 16 <= cols; c += 16, out += 48) {
        ShuffleEight(LoadColumnPairs<kOneRow>(evenFrom + c, oddFrom + c), first, last);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out), first);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 16), last);
        ShuffleEight(LoadColumnPairs<kOneRow>(evenFrom + c + 8, oddFrom + c + 8), first, last);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 24), first);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out + 40), last);
    }
    for (; c + 8 <= cols; c += 8, out += 24) {
        ShuffleEight(LoadColumnPairs<kOneRow>(evenFrom + c, oddFrom + c), first, last);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out), first);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out + 16), last);
    }
    for (; c < cols; c += 2, out += 6) {
        PackSample(evenFrom[c], out);
        PackSample(oddFrom[c + 1], out + 3);
    }
}

// The pixels with the 16-byte shuffles, on processors that have them.
__attribute__((target("ssse3"))) void PackColumnPairsShuffled(const uint16_t* evenFrom,
                                                              const uint16_t* oddFrom,
                                                              int32_t cols, uint8_t* out) {
    if (evenFrom == oddFrom)
        PackColumnPairsShuffledRows<true>(evenFrom, oddFrom, cols, out);
    else
        PackColumnPairsShuffledRows<false>(evenFrom, oddFrom, cols, out);
}

// Sixteen pixels per step with the 32-byte registers: each 16-byte half places its own eight
// samples exactly as above, and the halves are stored 24 bytes apart.
__attribute__((target("avx2"))) void PackColumnPairsWide(const uint16_t* evenFrom,
                                                         const uint16_t* oddFrom, int32_t cols,
                                                         uint8_t* out) {
    const __m256i firstFromBlue = _mm256_setr_epi8(KAVREL_FIRST_FROM_BLUE, KAVREL_FIRST_FROM_BLUE);
    const __m256i firstFromGreenRed =
        _mm256_setr_epi8(KAVREL_FIRST_FROM_GREEN_RED, KAVREL_FIRST_FROM_GREEN_RED);
    const __m256i lastFromBlue = _mm256_setr_epi8(KAVREL_LAST_FROM_BLUE, KAVREL_LAST_FROM_BLUE);
    const __m256i lastFromGreenRed =
        _mm256_setr_epi8(KAVREL_LAST_FROM_GREEN_RED, KAVREL_LAST_FROM_GREEN_RED);
    const bool oneRow = evenFrom == oddFrom;
    int32_t c = 0;
    for (; c + 16 <= cols; c += 16, out += 48) {
        __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(evenFrom + c));
        if (!oneRow)
            v = _mm256_blend_epi16(v, _mm256_loadu_si256(reinterpret_cast<const __m256i*>(oddFrom + c)), 0xAA);
        const __m256i blue = _mm256_and_si256(v, _mm256_set1_epi16(0x00F0));
        const __m256i greenRed =
            _mm256_and_si256(_mm256_slli_epi16(v, 4), _mm256_set1_epi16(static_cast<int16_t>(0xF0F0)));
        const __m256i first = _mm256_or_si256(_mm256_shuffle_epi8(blue, firstFromBlue),
                                              _mm256_shuffle_epi8(greenRed, firstFromGreenRed));
        const __m256i last = _mm256_or_si256(_mm256_shuffle_epi8(blue, lastFromBlue),
                                             _mm256_shuffle_epi8(greenRed, lastFromGreenRed));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm256_castsi256_si128(first));
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out + 16), _mm256_castsi256_si128(last));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 24), _mm256_extracti128_si256(first, 1));
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out + 40), _mm256_extracti128_si256(last, 1));
    }
    // The compiler leaves the upper halves of the registers dirty on a tail call; every later
    // 16-byte vector instruction of the process would then wait on them.
    _mm256_zeroupper();
    PackColumnPairsShuffled(evenFrom + c, oddFrom + c, cols - c, out);
}

#undef KAVREL_FIRST_FROM_BLUE
#undef KAVREL_FIRST_FROM_GREEN_RED
#undef KAVREL_LAST_FROM_BLUE
#undef KAVREL_LAST_FROM_GREEN_RED

int32_t g_nWidestShuffles = 2;  // 0: none, 1: 16-byte, 2: 32-byte

// 0, 1 or 2: the widest byte shuffles that both the processor and g_nWidestShuffles allow.
int32_t ShuffleWidth() {
    static const int32_t available = [] {
        __builtin_cpu_init();
        if (__builtin_cpu_supports("avx2")) return 2;
        return __builtin_cpu_supports("ssse3") ? 1 : 0;
    }();
    return available < g_nWidestShuffles ? available : g_nWidestShuffles;
}

#endif

// One buffer row: the even columns from one frame row and the odd columns from another (the
// same row without the delay-line mode). Eight samples at a time while their 28-byte store
// stays inside the row.
void PackColumnPairs(const uint16_t* evenFrom, const uint16_t* oddFrom, int32_t cols,
                     uint8_t* out) {
#ifdef KAVREL_BYTE_SHUFFLES
    switch (ShuffleWidth()) {
        case 2: PackColumnPairsWide(evenFrom, oddFrom, cols, out); return;
        case 1: PackColumnPairsShuffled(evenFrom, oddFrom, cols, out); return;
        default: break;
    }
#endif
    int32_t c = 0;
#ifdef __SSE2__
    for (; c + 10 <= cols; c += 8, out += 24) PackEight(evenFrom + c, oddFrom + c, out);
#endif
    for (; c < cols; c += 2, out += 6) {
        PackSample(evenFrom[c], out);
        PackSample(oddFrom[c + 1], out + 3);
    }
}

// The last buffer row of the delay-line mode: the straight columns (parity 0 even, 1 odd) from
// the frame row, the delayed ones black.
void PackStraightColumns(const uint16_t* from, int32_t straightParity, int32_t cols, uint8_t* out) {
    std::memset(out, 0, 3 * static_cast<size_t>(cols));
    for (int32_t c = straightParity; c < cols; c += 2) PackSample(from[c], out + 3 * c);
}

}  // namespace

bool CanPackFrame(const CFrame& frame) {
    return frame.HasData() && frame.m_nCols > 0 && frame.m_nRows > 0 && frame.m_nCols % 4 == 0 &&
           static_cast<int64_t>(frame.m_nCols) * frame.m_nRows == frame.m_nCount &&
           static_cast<uint64_t>(frame.m_nCount) <= SIZE_MAX / 3;
}

void LimitByteShuffles(int32_t widest) {
#ifdef KAVREL_BYTE_SHUFFLES
    g_nWidestShuffles = widest;
#else
    static_cast<void>(widest);
#endif
}

uint8_t* CPackedFrame::Reserve(size_t bytes) {
    if (m_pBytes && m_nBytes == bytes) return m_pBytes.get();
    Release();
    m_pBytes = TryAllocate<uint8_t>(bytes);
    if (m_pBytes) m_nBytes = bytes;
    return m_pBytes.get();
}

void CPackedFrame::Release() {
    m_pBytes.reset();
    m_nBytes = 0;
}

size_t PackedFrameBytes(const CFrame& frame) { return 3 * static_cast<size_t>(frame.m_nCount); }

void PackFrame(const CFrame& frame, uint8_t* out) {
    const uint16_t* samples = frame.m_pData.get();
    const int32_t cols = frame.m_nCols;
    const size_t rowBytes = 3 * static_cast<size_t>(cols);
    if (frame.m_nDelayLine == 0) {
        for (int32_t r = 0; r < frame.m_nRows; ++r, out += rowBytes, samples += cols)
            PackColumnPairs(samples, samples, cols, out);
        return;
    }
    const int32_t last = frame.m_nRows - 1;
    const bool oddStraight = frame.m_nDelayShift != 0;
    for (int32_t r = 0; r < last; ++r, out += rowBytes) {
        const uint16_t* row = samples + static_cast<size_t>(r) * cols;
        const uint16_t* next = row + cols;
        if (oddStraight)
            PackColumnPairs(next, row, cols, out);
        else
            PackColumnPairs(row, next, cols, out);
    }
    PackStraightColumns(samples + static_cast<size_t>(last) * cols, oddStraight ? 1 : 0, cols, out);
}

}  // namespace kavrel
