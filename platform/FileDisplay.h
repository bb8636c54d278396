// A display held in memory whose picture is written to a bitmap file after every drawing call;
// not used outside platform/ (CDC opens it for the device name "file:PATH").
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "base/FileNamePattern.h"
#include "platform/DisplayContext.h"
#include "base/NonCopyable.h"

namespace platform {

class CFileDisplay : private kavrel::CNonCopyable {
public:
    // A black display of width x height pixels whose drawings go to files named by the pattern;
    // null when the pattern is unusable (see IsFileNamePattern), the size is not positive, or
    // the picture cannot be allocated.
    static std::unique_ptr<CFileDisplay> Open(const std::string& pattern, int32_t width,
                                              int32_t height);

    virtual ~CFileDisplay();

    void FillSolidRect(int32_t x, int32_t y, int32_t width, int32_t height, uint32_t colorRef);
    int32_t SetStretchBltMode(int32_t mode);
    // Draws whole uncompressed 24-bit bitmaps unscaled, with their top line at yDest, clipped
    // to the display; anything else draws nothing and returns 0.
    int32_t StretchDIBits(int32_t xDest, int32_t yDest, int32_t destWidth, int32_t destHeight,
                          int32_t xSrc, int32_t ySrc, int32_t srcWidth, int32_t srcHeight,
                          const void* bits, const CDibHeader& header, uint32_t usage, uint32_t rop);

private:
    CFileDisplay(const std::string& pattern, int32_t width, int32_t height, size_t stride,
                 std::unique_ptr<uint8_t[]> picture);
    // The 3 bytes (blue, green, red) of the pixel in column x of display line y (0 at the top).
    uint8_t* Pixel(int32_t x, int32_t y);
    // Writes the whole picture to the file of the current drawing and counts the drawing.
    void Save();

    std::string m_strPattern;
    int32_t m_nWidth;
    int32_t m_nHeight;
    size_t m_nStride;
    // The picture as a bottom-up bitmap stores it: the display's bottom line first.
    std::unique_ptr<uint8_t[]> m_pPicture;
    int32_t m_nStretchMode;
    uint32_t m_nDrawings;
};

using kavrel::FileNameFor;
using kavrel::IsFileNamePattern;

}  // namespace platform
