// Computing a frame: one colour byte of one pixel of every 2 x 2 block of the source image, mapped
// through the look-up table, plus the offset map clamped to 0..4095.
#include "image/ExtractResult.h"

#include <algorithm>
#include <cstring>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include "base/MappedGather.h"
#include "image/BitmapImage.h"
#include "image/Frame.h"
#include "image/Lut.h"

namespace {

// Offsets of the chosen pixel inside its 2 x 2 block; the stored rows run bottom-up, so dy = 1 is
// the upper row of the block. Every position other than 0, 1 and 2 is the lower left pixel.
void BlockOffsets(int32_t position, int32_t& dx, int32_t& dy) {
    switch (position) {
        case 0: dx = 0; dy = 1; break;
        case 1: dx = 1; dy = 1; break;
        case 2: dx = 1; dy = 0; break;
        default: dx = 0; dy = 0; break;
    }
}

int32_t CheckImage(const CBitmapImage& image, int32_t color) {
    const CBitmapInfoHeader& header = image.Header();
    if (header.biPlanes != 1) return kNotSinglePlane;
    if (header.biBitCount != 24) return kNot24Bit;
    if (header.biCompression != 0) return kCompressed;
    if (image.Pixels() == nullptr) return kNoPixels;
    if (header.biHeight < 0 || image.PixelBytes() < 0 || color < 0 || color > 2) return kUnusableSize;
    return kExtracted;
}

// What each image byte becomes: its table entry where the table applies to it, else itself.
// A byte beyond a short table, or any byte when the table is refused, keeps its value.
void BuildByteMap(const CLut* lut, uint16_t (&map)[256]) {
    const bool applies = lut != nullptr && lut->HasTable() && lut->m_nFirstInput >= 0;
    for (int32_t v = 0; v < 256; ++v)
        map[v] = static_cast<uint16_t>(applies && v < lut->m_nCount ? lut->m_pTable[v] : v);
}

// The sum read as a signed 16-bit value, clamped to the light levels 0..4095.
inline uint16_t AddClamped(uint16_t level, uint16_t offset) {
    const int16_t sum = static_cast<int16_t>(static_cast<uint16_t>(level + offset));
    return static_cast<uint16_t>(std::clamp<int16_t>(sum, 0, 4095));
}

// One frame row: every sixth byte from `in`, through the byte map, one byte load and one table
// load per sample. Plain 32-bit code: on a 32-bit processor an 8-byte load taken apart by shifts
// costs more than the loads it saves. No load reaches past the byte of the row's last sample.
void GatherMappedRow(const uint8_t* in, const uint16_t (&map)[256], int32_t cols, uint16_t* out) {
    for (int32_t j = 0; j < cols; ++j, in += 6) out[j] = map[*in];
}

// Adds one row of offsets to one frame row with AddClamped's result.
void AddClampedRow(uint16_t* out, const uint16_t* offset, int32_t cols) {
    for (int32_t j = 0; j < cols; ++j) out[j] = AddClamped(out[j], offset[j]);
}

#ifdef __SSE2__
// The sum of levels and offsets, wrapped to 16 bits and clamped as AddClamped does.
inline __m128i AddClampedEight(__m128i level, const uint16_t* offset) {
    const __m128i add = _mm_loadu_si128(reinterpret_cast<const __m128i*>(offset));
    const __m128i sum = _mm_add_epi16(level, add);
    return _mm_min_epi16(_mm_max_epi16(sum, _mm_setzero_si128()), _mm_set1_epi16(4095));
}
#endif

// One frame row: the mapped samples, plus the offsets where there are any, eight samples to a
// register where the processor has the vector operations; the rest one by one.
void ComputeRow(const uint8_t* in, const uint16_t (&map)[256], int32_t cols,
                const uint16_t* offset, uint16_t* out) {
    int32_t j = 0;
#ifdef __SSE2__
    for (; j + 8 <= cols; j += 8, in += 48) {
        __m128i v = kavrel::GatherEightMapped<6>(in, map);
        if (offset != nullptr) v = AddClampedEight(v, offset + j);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + j), v);
    }
#endif
    GatherMappedRow(in, map, cols - j, out + j);
    if (offset != nullptr) AddClampedRow(out + j, offset + j, cols - j);
}

}  // namespace

int32_t CFrame::ExtractSubPixel(const CBitmapImage& image, int32_t color, int32_t position) {
    const int32_t code = CheckImage(image, color);
    if (code != kExtracted) return code;
    if (!Reallocate(image.Header().biHeight / 2, image.Header().biWidth / 2)) return kOutOfMemory;

    int32_t dx, dy;
    BlockOffsets(position, dx, dy);
    const size_t stride = static_cast<size_t>(CBitmapImage::RowStride(image.Header().biWidth));
    const uint8_t* base = image.Pixels() + dy * stride + 3 * dx + color;
    uint16_t* out = m_pData.get();
    for (int32_t i = 0; i < m_nRows; ++i, out += m_nCols) {
        const uint8_t* in = base + 2 * static_cast<size_t>(i) * stride;
        for (int32_t j = 0; j < m_nCols; ++j) out[j] = in[6 * static_cast<size_t>(j)];
    }
    return kExtracted;
}

int32_t CFrame::ExtractSubPixel(const CBitmapImage& image, int32_t color, int32_t position,
                                const CLut& lut, const CFrame& offsets) {
    const int32_t code = CheckImage(image, color);
    if (code != kExtracted) return code;
    if (!Reallocate(image.Header().biHeight / 2, image.Header().biWidth / 2)) return kOutOfMemory;

    uint16_t map[256];
    BuildByteMap(m_nCount > 0 ? &lut : nullptr, map);
    const bool addOffsets =
        offsets.HasData() && offsets.m_nCols == m_nCols && offsets.m_nRows == m_nRows;

    int32_t dx, dy;
    BlockOffsets(position, dx, dy);
    const size_t stride = static_cast<size_t>(CBitmapImage::RowStride(image.Header().biWidth));
    const uint8_t* base = image.Pixels() + dy * stride + 3 * dx + color;
    uint16_t* out = m_pData.get();
    const uint16_t* offset = addOffsets ? offsets.m_pData.get() : nullptr;
    for (int32_t i = 0; i < m_nRows; ++i, out += m_nCols) {
        const uint8_t* in = base + 2 * static_cast<size_t>(i) * stride;
        ComputeRow(in, map, m_nCols, offset, out);
        if (offset != nullptr) offset += m_nCols;
    }
    if (addOffsets) ShowError("Add");
    return kExtracted;
}
