// 24-bit pictures and the uncompressed 24-bit bitmap files that hold them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace host {

// A picture held top row first, three bytes per pixel in the order blue, green, red (the order
// of a bitmap file), without padding.
class CPicture {
public:
    CPicture() = default;
    CPicture(int32_t width, int32_t height, uint8_t grey = 0);
    virtual ~CPicture() = default;
    CPicture(CPicture&&) = default;
    CPicture& operator=(CPicture&&) = default;

    int32_t Width() const { return m_nWidth; }
    int32_t Height() const { return m_nHeight; }
    // Pixel (x, y), y counted from the top: its blue, green and red bytes.
    uint8_t* Pixel(int32_t x, int32_t y) { return &m_Bytes[Index(x, y)]; }
    const uint8_t* Pixel(int32_t x, int32_t y) const { return &m_Bytes[Index(x, y)]; }
    void SetGrey(int32_t x, int32_t y, uint8_t value);
    void SetColour(int32_t x, int32_t y, uint8_t blue, uint8_t green, uint8_t red);
    // Fills a rectangle, clipped to the picture, with one grey value.
    void FillGrey(int32_t x, int32_t y, int32_t width, int32_t height, uint8_t value);

private:
    size_t Index(int32_t x, int32_t y) const {
        return (static_cast<size_t>(y) * static_cast<size_t>(m_nWidth) + static_cast<size_t>(x)) *
               3;
    }

    int32_t m_nWidth = 0;
    int32_t m_nHeight = 0;
    std::vector<uint8_t> m_Bytes;
};

// Reads an uncompressed 24-bit bitmap file (bottom-up or top-down). Throws CHostError naming
// the file and what is wrong with it.
CPicture ReadBitmap(const std::string& path);
// The bytes of a bottom-up 24-bit bitmap file of the picture.
std::vector<uint8_t> BitmapBytes(const CPicture& picture);
// Writes the picture as a bottom-up 24-bit bitmap file, replacing the file only when complete.
void WriteBitmap(const std::string& path, const CPicture& picture);

// The width and height in a bitmap file's header, without reading its pixels; throws CHostError
// naming the file when it is no bitmap.
struct CBitmapSize {
    int32_t width;
    int32_t height;
    int32_t bitCount;
};
CBitmapSize ReadBitmapSize(const std::string& path);

}  // namespace host
