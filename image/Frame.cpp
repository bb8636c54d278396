// CFrame's general operations and the offset file ("FRAME", count, width, height, samples).
#include "image/Frame.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <utility>

#include "image/Allocation.h"
#include "image/ByteIO.h"
#include "platform/File.h"
#include "platform/MessageBox.h"

static_assert(std::endian::native == std::endian::little,
              "offset files hold the samples exactly as they lie in memory");

namespace {

constexpr char kOffsetFileMagic[6] = {'F', 'R', 'A', 'M', 'E', '\0'};
constexpr int64_t kOffsetFileHeaderSize = 18;

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
      m_nGridX(31),
      m_nGridY(31),
      m_nGridStepX(64),
      m_nGridStepY(64),
      m_nCount(0),
      m_nRows(0),
      m_nCols(0),
      m_nDelayLine(0),
      m_nDelayShift(0) {}

CFrame::~CFrame() = default;

bool CFrame::Reallocate(int32_t rows, int32_t cols) {
    m_nRows = rows;
    m_nCols = cols;
    m_nCount = rows * cols;
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

void CFrame::Rotate90() {
    if (!HasData()) return;
    std::unique_ptr<uint16_t[]> turned = kavrel::TryAllocate<uint16_t>(static_cast<size_t>(m_nCount));
    if (!turned) return;
    const int32_t height = m_nRows;
    const int32_t width = m_nCols;
    const uint16_t* source = m_pData.get();
    // The sample at (x, y) goes to column height - 1 - y, row x: a clockwise quarter turn.
    // Only a plane with samples has rows to move: one 0 samples wide may claim 2^31 - 1 rows.
    for (int32_t y = 0; y < height && m_nCount > 0; ++y) {
        const uint16_t* row = source + static_cast<size_t>(y) * width;
        uint16_t* column = turned.get() + (height - 1 - y);
        for (int32_t x = 0; x < width; ++x) column[static_cast<size_t>(x) * height] = row[x];
    }
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
    uint8_t header[kOffsetFileHeaderSize];
    if (file.Read(header, sizeof header) != sizeof header) return;
    const int32_t count = static_cast<int32_t>(kavrel::ReadLE32(header + 6));
    const int32_t cols = static_cast<int32_t>(kavrel::ReadLE32(header + 10));
    const int32_t rows = static_cast<int32_t>(kavrel::ReadLE32(header + 14));
    if (count < 0 || rows < 0 || cols < 0 || static_cast<int64_t>(rows) * cols != count) return;
    if (file.Length() < kOffsetFileHeaderSize + 2 * static_cast<int64_t>(count)) return;

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
    header.Bytes(kOffsetFileMagic, sizeof kOffsetFileMagic);
    header.LE32(static_cast<uint32_t>(m_nCount));
    header.LE32(static_cast<uint32_t>(m_nCols));
    header.LE32(static_cast<uint32_t>(m_nRows));
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
