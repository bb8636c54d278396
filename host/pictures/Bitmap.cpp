#include "pictures/Bitmap.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>

#include "base/BitmapFile.h"
#include "common/Errors.h"
#include "files/Files.h"
#include "files/Platform.h"

namespace host {

namespace {

constexpr int32_t kPixelsPerMetre = 3780;  // 96 pixels per inch

size_t StrideFor(int32_t width) { return static_cast<size_t>(kavrel::BitmapRowStride(width)); }

struct CHeader {
    uint32_t pixelOffset;
    int32_t width;
    int32_t height;
    uint16_t planes;
    uint16_t bitCount;
    uint32_t compression;
    int64_t pixelBytes;  // rows padded, or -1 for an unusable size
};

// The headers read as the library reads them.
CHeader ParseHeader(const std::string& path, const std::vector<uint8_t>& bytes) {
    kavrel::CByteReader reader(bytes);
    kavrel::CBitmapHeaders headers;
    if (!kavrel::ReadBitmapHeaders(reader, headers)) {
        if (bytes.size() < 2 || bytes[0] != 'B' || bytes[1] != 'M')
            throw CHostError(path + ": not a bitmap file");
        throw CHostError(path + ": bitmap whose header is cut short");
    }
    const CBitmapInfoHeader& info = headers.info;
    return CHeader{headers.pixelOffset, info.biWidth,       info.biHeight,
                   info.biPlanes,       info.biBitCount,    info.biCompression,
                   kavrel::BitmapPixelBytes(info)};
}

// "a 16" or "an 8": the article that goes before a number as it is spoken.
std::string WithArticle(unsigned number) {
    const std::string digits = std::to_string(number);
    const bool vowel = digits[0] == '8' || digits == "11" || digits == "18" ||
                       (digits.size() % 3 == 2 && digits.rfind("18", 0) == 0) ||
                       (digits.size() % 3 == 2 && digits.rfind("11", 0) == 0);
    return (vowel ? "an " : "a ") + digits;
}

void CheckTwentyFourBit(const std::string& path, const CHeader& h) {
    if (h.planes != 1 || h.bitCount != 24)
        throw CHostError(path + ": " + WithArticle(h.bitCount) +
                         "-bit bitmap; only 24-bit bitmaps can be used");
    if (h.compression != 0) throw CHostError(path + ": compressed bitmap; save it uncompressed");
    if (h.pixelBytes < 0 || h.pixelBytes > kavrel::kBitmapMaxLoadedBytes)
        throw CHostError(path + ": bitmap of an unusable size " + std::to_string(h.width) + " x " +
                         std::to_string(h.height));
}

}  // namespace

CPicture::CPicture(int32_t width, int32_t height, uint8_t grey)
    : m_nWidth(width), m_nHeight(height), m_Bytes(static_cast<size_t>(width) * height * 3, grey) {}

void CPicture::SetGrey(int32_t x, int32_t y, uint8_t value) {
    SetColour(x, y, value, value, value);
}

void CPicture::SetColour(int32_t x, int32_t y, uint8_t blue, uint8_t green, uint8_t red) {
    uint8_t* p = Pixel(x, y);
    p[0] = blue;
    p[1] = green;
    p[2] = red;
}

void CPicture::FillGrey(int32_t x, int32_t y, int32_t width, int32_t height, uint8_t value) {
    const int32_t x0 = std::max(x, 0), x1 = std::min(x + width, m_nWidth);
    const int32_t y0 = std::max(y, 0), y1 = std::min(y + height, m_nHeight);
    for (int32_t row = y0; row < y1; ++row)
        if (x1 > x0) std::memset(Pixel(x0, row), value, 3 * static_cast<size_t>(x1 - x0));
}

CBitmapSize ReadBitmapSize(const std::string& path) {
    if (!FileExists(path)) throw CHostError(path + ": no such file");
    std::vector<uint8_t> bytes;
    if (ReadRegularFile(path, kavrel::kBitmapFileHeaderSize + kavrel::kBitmapInfoHeaderSize, bytes,
                        true) != CReadResult::Done)
        throw CHostError(path + ": cannot be read");
    const CHeader h = ParseHeader(path, bytes);
    return CBitmapSize{h.width, h.height, h.bitCount};
}

CPicture ReadBitmap(const std::string& path) {
    const std::vector<uint8_t> bytes = ReadWholeFile(path);
    const CHeader h = ParseHeader(path, bytes);
    CheckTwentyFourBit(path, h);
    const int32_t rows = std::abs(h.height);
    const size_t stride = StrideFor(h.width);
    // Every row with its padding, the last one too, as the library needs them.
    const size_t needed = static_cast<size_t>(h.pixelBytes);
    if (h.pixelOffset > bytes.size() || bytes.size() - h.pixelOffset < needed)
        throw CHostError(path + ": bitmap cut short (its pixels are incomplete)");
    CPicture picture(h.width, rows);
    const bool bottomUp = h.height > 0;
    for (int32_t y = 0; y < rows; ++y) {
        const int32_t stored = bottomUp ? rows - 1 - y : y;
        std::memcpy(picture.Pixel(0, y),
                    &bytes[h.pixelOffset + stride * static_cast<size_t>(stored)],
                    3 * static_cast<size_t>(h.width));
    }
    return picture;
}

std::vector<uint8_t> BitmapBytes(const CPicture& picture) {
    const size_t stride = StrideFor(picture.Width());
    kavrel::CByteWriter headers;
    kavrel::WriteBitmapHeaders(headers, picture.Width(), picture.Height(), kPixelsPerMetre);
    std::vector<uint8_t> bytes = headers.Data();
    bytes.reserve(bytes.size() + stride * static_cast<size_t>(picture.Height()));
    const size_t rowBytes = 3 * static_cast<size_t>(picture.Width());
    for (int32_t y = picture.Height() - 1; y >= 0; --y) {
        const uint8_t* row = picture.Pixel(0, y);
        bytes.insert(bytes.end(), row, row + rowBytes);
        bytes.insert(bytes.end(), stride - rowBytes, 0);
    }
    return bytes;
}

void WriteBitmap(const std::string& path, const CPicture& picture) {
    WriteFileSafely(path, BitmapBytes(picture));
}

}  // namespace host
