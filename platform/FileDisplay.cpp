#include "platform/FileDisplay.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <utility>

#include "base/Allocation.h"
#include "base/BitmapFile.h"
#include "base/ByteIO.h"
#include "platform/SafeSave.h"
#include "platform/File.h"

namespace platform {

namespace {

constexpr int32_t kBlackOnWhite = 1;  // the stretch mode of a new device context
constexpr uint64_t kMaxPictureBytes = 0x7FFF0000;

size_t StrideFor(int32_t width) { return static_cast<size_t>(kavrel::BitmapRowStride(width)); }

}  // namespace

// Whether StretchDIBits is asked to copy a whole uncompressed 24-bit bitmap unscaled.
bool IsPlainCopy(int32_t destWidth, int32_t destHeight, int32_t xSrc, int32_t ySrc,
                 int32_t srcWidth, int32_t srcHeight, const void* bits, const CDibHeader& h,
                 uint32_t usage, uint32_t rop) {
    if (bits == nullptr || h.biSize < kavrel::kBitmapInfoHeaderSize || h.biPlanes != 1 || h.biBitCount != 24 ||
        h.biCompression != kBiRgb || usage != kDibRgbColors || rop != kSrcCopy)
        return false;
    if (h.biWidth <= 0 || h.biHeight == 0 || h.biHeight == INT32_MIN) return false;
    const int32_t rows = h.biHeight < 0 ? -h.biHeight : h.biHeight;
    return xSrc == 0 && ySrc == 0 && srcWidth == h.biWidth && srcHeight == rows &&
           destWidth == srcWidth && destHeight == srcHeight;
}

std::unique_ptr<CFileDisplay> CFileDisplay::Open(const std::string& pattern, int32_t width,
                                                 int32_t height) {
    if (!IsFileNamePattern(pattern) || width <= 0 || height <= 0) return nullptr;
    const size_t stride = StrideFor(width);
    // A bitmap file states its size in 32 bits.
    if (static_cast<uint64_t>(stride) * static_cast<uint64_t>(height) > kMaxPictureBytes)
        return nullptr;
    const size_t bytes = stride * static_cast<size_t>(height);
    std::unique_ptr<uint8_t[]> picture = kavrel::TryAllocate<uint8_t>(bytes);
    if (!picture) return nullptr;
    std::memset(picture.get(), 0, bytes);
    return std::unique_ptr<CFileDisplay>(
        new CFileDisplay(pattern, width, height, stride, std::move(picture)));
}

CFileDisplay::CFileDisplay(const std::string& pattern, int32_t width, int32_t height, size_t stride,
                           std::unique_ptr<uint8_t[]> picture)
    : m_strPattern(pattern),
      m_nWidth(width),
      m_nHeight(height),
      m_nStride(stride),
      m_pPicture(std::move(picture)),
      m_nStretchMode(kBlackOnWhite),
      m_nDrawings(0) {}

CFileDisplay::~CFileDisplay() = default;

uint8_t* CFileDisplay::Pixel(int32_t x, int32_t y) {
    return m_pPicture.get() + static_cast<size_t>(m_nHeight - 1 - y) * m_nStride +
           3 * static_cast<size_t>(x);
}

void CFileDisplay::FillSolidRect(int32_t x, int32_t y, int32_t width, int32_t height,
                                 uint32_t colorRef) {
    const uint8_t bgr[3] = {static_cast<uint8_t>(colorRef >> 16),
                            static_cast<uint8_t>(colorRef >> 8), static_cast<uint8_t>(colorRef)};
    const int64_t left = std::max<int64_t>(x, 0);
    const int64_t right = std::min<int64_t>(static_cast<int64_t>(x) + width, m_nWidth);
    const int64_t top = std::max<int64_t>(y, 0);
    const int64_t bottom = std::min<int64_t>(static_cast<int64_t>(y) + height, m_nHeight);
    for (int64_t line = top; line < bottom; ++line) {
        uint8_t* p = Pixel(static_cast<int32_t>(left), static_cast<int32_t>(line));
        for (int64_t column = left; column < right; ++column, p += 3) std::memcpy(p, bgr, 3);
    }
    Save();
}

int32_t CFileDisplay::SetStretchBltMode(int32_t mode) {
    return std::exchange(m_nStretchMode, mode);
}

int32_t CFileDisplay::StretchDIBits(int32_t xDest, int32_t yDest, int32_t destWidth,
                                    int32_t destHeight, int32_t xSrc, int32_t ySrc,
                                    int32_t srcWidth, int32_t srcHeight, const void* bits,
                                    const CDibHeader& header, uint32_t usage, uint32_t rop) {
    if (!IsPlainCopy(destWidth, destHeight, xSrc, ySrc, srcWidth, srcHeight, bits, header, usage,
                     rop))
        return 0;
    // A bottom-up bitmap (positive height) holds its bottom line first.
    const bool bottomUp = header.biHeight > 0;
    const int32_t cols = header.biWidth;
    const int32_t rows = srcHeight;
    const size_t stride = StrideFor(cols);
    const int64_t left = std::max<int64_t>(xDest, 0);
    const int64_t right = std::min<int64_t>(static_cast<int64_t>(xDest) + cols, m_nWidth);
    const uint8_t* source = static_cast<const uint8_t*>(bits);
    for (int32_t row = 0; row < rows && left < right; ++row) {
        const int64_t line = static_cast<int64_t>(yDest) + (bottomUp ? rows - 1 - row : row);
        if (line < 0 || line >= m_nHeight) continue;
        std::memcpy(Pixel(static_cast<int32_t>(left), static_cast<int32_t>(line)),
                    source + static_cast<size_t>(row) * stride + 3 * (left - xDest),
                    3 * static_cast<size_t>(right - left));
    }
    Save();
    return rows;
}

void CFileDisplay::Save() {
    const std::string path = FileNameFor(m_strPattern, m_nDrawings);
    m_nDrawings = (m_nDrawings + 1) & 0x7FFFFFFFu;
    const uint32_t pictureBytes = static_cast<uint32_t>(m_nStride * static_cast<size_t>(m_nHeight));
    kavrel::CByteWriter headers;
    kavrel::WriteBitmapHeaders(headers, m_nWidth, m_nHeight, 0);
    kavrel::SaveFileSafely(path, [&](CFile& file) {
        return file.Write(headers.Data().data(), headers.Data().size()) &&
               file.Write(m_pPicture.get(), pictureBytes);
    });
}

}  // namespace platform
