// CFrame's general operations and the offset file ("FRAME", count, width, height, samples).
#include "image/Frame.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <utility>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include "base/Allocation.h"
#include "image/QuarterTurn.h"
#include "base/ByteIO.h"
#include "base/CalibrationLayout.h"
#include "base/OffsetFile.h"
#include "platform/SafeSave.h"
#include "platform/File.h"
#include "platform/MessageBox.h"

static_assert(std::endian::native == std::endian::little,
              "offset files hold the samples exactly as they lie in memory");

namespace {

uint16_t ClampToLightLevel(uint16_t sum) {
    const int16_t s = static_cast<int16_t>(sum);
    return s < 0 ? 0 : (s > 4095 ? 4095 : static_cast<uint16_t>(s));
}

}  // namespace

CFrame::CFrame()
    : m_bShowErrors(0),
      m_nEdgeThreshold(0),
      m_nNominalHeight(1024),
      m_nNominalWidth(1280),
      m_nGridX(kavrel::kGridOrigin),
      m_nGridY(kavrel::kGridOrigin),
      m_nGridStepX(kavrel::kGridStep),
      m_nGridStepY(kavrel::kGridStep),
      m_nCount(0),
      m_nRows(0),
      m_nCols(0),
      m_nDelayLine(0),
      m_nDelayShift(0) {}

CFrame::~CFrame() = default;

bool CFrame::Reallocate(int32_t rows, int32_t cols) {
    const bool sameCount = HasData() && rows * cols == m_nCount;
    m_nRows = rows;
    m_nCols = cols;
    m_nCount = rows * cols;
    // A buffer of the right size is kept: every caller overwrites all samples, and an allocation
    // that is not made cannot fail (nor cost its page faults again for every frame).
    if (sameCount) return true;
    m_pData.reset();
    m_pData = kavrel::TryAllocate<uint16_t>(static_cast<size_t>(m_nCount));
    return HasData();
}

int32_t CFrame::GetPixel(int32_t x, int32_t y) const {
    if (!HasData()) return 0;
    const int64_t i = static_cast<int64_t>(y) * m_nCols + x;
    if (i < 0 || i >= m_nCount) return 0;
    return static_cast<int16_t>(m_pData[i]);
}

void CFrame::SetPixel(int32_t x, int32_t y, int32_t value) {
    if (!HasData()) return;
    const int64_t i = static_cast<int64_t>(y) * m_nCols + x;
    if (i < 0 || i >= m_nCount) return;
    m_pData[i] = static_cast<uint16_t>(value);
}

void CFrame::Fill(int32_t value) {
    if (!Reallocate(m_nNominalHeight, m_nNominalWidth)) return;
    std::fill_n(m_pData.get(), m_nCount, static_cast<uint16_t>(value));
}

void CFrame::AddFrame(const CFrame& other) {
    if (!HasData() || !other.HasData() || m_nCols != other.m_nCols || m_nRows != other.m_nRows)
        return;
    uint16_t* samples = m_pData.get();
    const uint16_t* offsets = other.m_pData.get();
    const int32_t count = std::min(m_nCount, other.m_nCount);
    for (int32_t i = 0; i < count; ++i)
        samples[i] = ClampToLightLevel(static_cast<uint16_t>(samples[i] + offsets[i]));
    ShowError("Add");
}

void CFrame::AddConstant(int32_t value) {
    if (!HasData()) return;
    const uint16_t addend = static_cast<uint16_t>(value);
    uint16_t* samples = m_pData.get();
    for (int32_t i = 0; i < m_nCount; ++i) samples[i] = static_cast<uint16_t>(samples[i] + addend);
}

int16_t CFrame::Mean() const {
    if (!HasData() || m_nCount <= 0) return 0;
    int64_t sum = 0;
    const uint16_t* samples = m_pData.get();
    for (int32_t i = 0; i < m_nCount; ++i) sum += static_cast<int16_t>(samples[i]);
    return static_cast<int16_t>(sum / m_nCount);
}

namespace {

#ifdef __SSE2__
// The 8 x 8 samples at src (rows sstride apart) turned clockwise into dst (rows dstride apart).
void TurnEightByEight(const uint16_t* src, size_t sstride, uint16_t* dst, size_t dstride) {
    __m128i r[8];
    for (int k = 0; k < 8; ++k)
        r[k] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + k * sstride));
    kavrel::StoreTurnedEightByEight(r, dst, dstride);
}
#endif

// The samples of columns x0 .. x1 - 1 and rows y0 .. y1 - 1, one by one.
void TurnSamples(const uint16_t* source, int32_t width, int32_t height, uint16_t* turned,
                 int32_t x0, int32_t x1, int32_t y0, int32_t y1) {
    for (int32_t y = y0; y < y1; ++y) {
        const uint16_t* row = source + static_cast<size_t>(y) * width;
        uint16_t* column = turned + (height - 1 - y);
        for (int32_t x = x0; x < x1; ++x) column[static_cast<size_t>(x) * height] = row[x];
    }
}

// The sample at (x, y) goes to column height - 1 - y, row x: a clockwise quarter turn. Tile by
// tile, so that the lines read and the lines written stay in the cache while they are used; inside
// a tile in blocks of 8 x 8 where the processor has the vector operations.
void QuarterTurn(const uint16_t* source, int32_t width, int32_t height, uint16_t* turned) {
    constexpr int32_t kTile = 64;
    int32_t wholeWidth = 0, wholeHeight = 0;  // the part covered by 8 x 8 blocks
#ifdef __SSE2__
    wholeWidth = width & ~7;
    wholeHeight = height & ~7;
    const size_t sstride = static_cast<size_t>(width), dstride = static_cast<size_t>(height);
    for (int32_t y0 = 0; y0 < wholeHeight; y0 += kTile) {
        const int32_t y1 = std::min(y0 + kTile, wholeHeight);
        for (int32_t x0 = 0; x0 < wholeWidth; x0 += kTile) {
            const int32_t x1 = std::min(x0 + kTile, wholeWidth);
            for (int32_t y = y0; y < y1; y += 8)
                for (int32_t x = x0; x < x1; x += 8)
                    TurnEightByEight(source + y * sstride + x, sstride,
                                     turned + x * dstride + (height - 8 - y), dstride);
        }
    }
#endif
    TurnSamples(source, width, height, turned, wholeWidth, width, 0, wholeHeight);
    for (int32_t y0 = wholeHeight; y0 < height; y0 += kTile)
        for (int32_t x0 = 0; x0 < width; x0 += kTile)
            TurnSamples(source, width, height, turned, x0, std::min(x0 + kTile, width), y0,
                        std::min(y0 + kTile, height));
}

}  // namespace

void CFrame::Rotate90() {
    if (!HasData()) return;
    std::unique_ptr<uint16_t[]> turned = kavrel::TryAllocate<uint16_t>(static_cast<size_t>(m_nCount));
    if (!turned) return;
    const int32_t height = m_nRows;
    const int32_t width = m_nCols;
    // Only a plane with samples has rows to move: one 0 samples wide may claim 2^31 - 1 rows.
    if (m_nCount > 0) QuarterTurn(m_pData.get(), width, height, turned.get());
    m_nCols = height;
    m_nRows = width;
    m_pData = std::move(turned);
}

// Builds the smoothed plane in a second buffer: weights(old, i, width) gives the unsigned 16-bit
// total for inner sample i, which is divided by 8 by a shift; the border is copied unchanged.
template <class Weights>
void CFrame::Smooth(Weights weights) {
    if (!HasData()) return;
    std::unique_ptr<uint16_t[]> smoothed = kavrel::TryAllocate<uint16_t>(static_cast<size_t>(m_nCount));
    if (!smoothed) return;
    const uint16_t* old = m_pData.get();
    std::copy_n(old, m_nCount, smoothed.get());
    const int32_t width = m_nCols;
    // Inner samples need 3 columns: a narrower plane may still claim 2^31 - 1 rows.
    for (int32_t y = 1; y < m_nRows - 1 && width >= 3; ++y) {
        for (int32_t x = 1; x < width - 1; ++x) {
            const int32_t i = y * width + x;
            smoothed[i] = static_cast<uint16_t>(static_cast<uint16_t>(weights(old, i, width)) >> 3);
        }
    }
    m_pData = std::move(smoothed);
}

void CFrame::SmoothDiagonal() {
    Smooth([](const uint16_t* s, int32_t i, int32_t w) {
        return 4u * s[i] + s[i - w - 1] + s[i - w + 1] + s[i + w - 1] + s[i + w + 1];
    });
}

void CFrame::SmoothVertical() {
    Smooth([](const uint16_t* s, int32_t i, int32_t w) { return 6u * s[i] + s[i - w] + s[i + w]; });
}

void CFrame::ShiftRow(int32_t shift, int32_t row) {
    if (!HasData() || row < 0 || row >= m_nRows) return;
    const int64_t width = m_nCols;
    const int64_t distance = shift < 0 ? -static_cast<int64_t>(shift) : shift;
    if (width - distance < 1 || distance == 0) return;
    uint16_t* samples = m_pData.get() + static_cast<size_t>(row) * m_nCols;
    // memmove reads every sample before it is overwritten, as the element loops would.
    if (shift > 0)
        std::memmove(samples + distance, samples, static_cast<size_t>(width - distance) * 2);
    else
        std::memmove(samples, samples + distance, static_cast<size_t>(width - distance) * 2);
}

void CFrame::ShiftColumn(int32_t column, int32_t shift) {
    if (!HasData() || column < 0 || column >= m_nCols) return;
    const int64_t height = m_nRows;
    const int64_t distance = shift < 0 ? -static_cast<int64_t>(shift) : shift;
    if (height - distance < 1 || distance == 0) return;
    uint16_t* samples = m_pData.get() + column;
    const size_t stride = static_cast<size_t>(m_nCols);
    if (shift > 0) {
        for (int64_t y = height - 1; y >= distance; --y)
            samples[y * stride] = samples[(y - distance) * stride];
    } else {
        for (int64_t y = 0; y < height - distance; ++y)
            samples[y * stride] = samples[(y + distance) * stride];
    }
}

// Reads an offset file. A file that cannot be opened, whose header is incomplete, whose count is
// negative or not width x height, or that holds fewer samples than its count, leaves the plane as
// it was. Only an allocation failure empties it (new size, no data).
void CFrame::Load(std::string path) {
    platform::CFile file;
    if (!file.OpenRead(path)) return;
    uint8_t head[kavrel::kOffsetFileHeaderSize];
    kavrel::CByteReader reader(std::span<const uint8_t>(head, file.Read(head, sizeof head)));
    const std::optional<kavrel::COffsetFileHeader> header = kavrel::ReadOffsetFileHeader(reader);
    // A claimed size far beyond any display is refused before anything is allocated or read.
    if (!header || !kavrel::IsUsableOffsetFile(*header, file.Length())) return;
    const int32_t count = header->count;
    const int32_t cols = header->cols;
    const int32_t rows = header->rows;

    std::unique_ptr<uint16_t[]> samples = kavrel::TryAllocate<uint16_t>(static_cast<size_t>(count));
    if (!samples) {
        m_nCount = count;
        m_nCols = cols;
        m_nRows = rows;
        m_pData.reset();
        return;
    }
    const size_t bytes = static_cast<size_t>(count) * 2;
    if (file.Read(samples.get(), bytes) != bytes) return;
    m_nCount = count;
    m_nCols = cols;
    m_nRows = rows;
    m_pData = std::move(samples);
}

void CFrame::Save(std::string path) const {
    if (!HasData()) return;
    kavrel::CByteWriter header;
    kavrel::WriteOffsetFileHeader(header, {m_nCount, m_nCols, m_nRows});
    kavrel::SaveFileSafely(path, [&](platform::CFile& file) {
        return file.Write(header.Data().data(), header.Data().size()) &&
               file.Write(m_pData.get(), static_cast<size_t>(m_nCount) * 2);
    });
}

void CFrame::SetFileName(std::string name) { m_strFileName = std::move(name); }

void CFrame::SetEdgeThreshold(int32_t threshold) {
    m_nEdgeThreshold = static_cast<int16_t>(threshold);
}

void CFrame::SetDelayLine(int32_t mode) { m_nDelayLine = mode; }

void CFrame::SetDelayShift(int32_t flag) { m_nDelayShift = flag; }

void CFrame::ShowError(std::string text) const {
    if (m_bShowErrors != 0) platform::ShowMessageBox(text, platform::MessageStyle::Failure);
}
