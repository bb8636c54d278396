// CDC: the device context of the output display.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "base/BitmapInfoHeader.h"
#include "base/NonCopyable.h"

// What the library asks of the display when it opens it.
struct CDisplayMode {
    std::string deviceName;
    int32_t width;
    int32_t height;
    int32_t bitsPerPel;
    int32_t frequency;
};

// The information header of a device-independent bitmap handed to StretchDIBits.
using CDibHeader = CBitmapInfoHeader;

// The GDI values the library draws with.
constexpr uint32_t kBiRgb = 0;             // uncompressed bitmap
constexpr int32_t kColorOnColor = 3;       // stretch mode COLORONCOLOR
constexpr uint32_t kDibRgbColors = 0;      // DIB_RGB_COLORS
constexpr uint32_t kSrcCopy = 0x00CC0020;  // raster operation SRCCOPY

namespace platform {
class CFileDisplay;

// Whether StretchDIBits is asked to copy a whole uncompressed 24-bit bitmap unscaled: the one
// drawing that the file display and the portable native display take.
bool IsPlainCopy(int32_t destWidth, int32_t destHeight, int32_t xSrc, int32_t ySrc,
                 int32_t srcWidth, int32_t srcHeight, const void* bits, const CDibHeader& h,
                 uint32_t usage, uint32_t rop);
}

// A device context of one of two kinds:
// - a native display, named as the operating system names it (Win32: CreateDCA with a display
//   mode record; the portable build has no native display, so such names never open);
// - a file display, named "file:PATH": a picture of the requested size held in memory, black
//   when opened, that is written whole to PATH as a 24-bit bitmap file after every drawing call.
//   PATH may hold one integer conversion (%d, %i or %u with flags 0, -, + or space and a width of
//   at most two digits) that receives the number of the drawing since opening, counting from 0,
//   so that every drawing keeps its own file; "%%" stands for a percent sign. Any other
//   conversion makes the name unusable. A file that cannot be written is skipped silently and
//   leaves no partial file behind.
// Without a device context every drawing call draws nothing and reports nothing.
class CDC : private kavrel::CNonCopyable {
public:
    CDC();
    virtual ~CDC();

    // Creates a device context for the named display in the given mode; false when none is made.
    // A native name that does not fit the display mode record (32 characters or more) is refused.
    bool CreateDC(const CDisplayMode& mode);
    // Deletes the device context, if any.
    void DeleteDC();
    bool HasDC() const;

    // Paints the rectangle in one colour (0x00BBGGRR).
    void FillSolidRect(int32_t x, int32_t y, int32_t width, int32_t height, uint32_t colorRef);
    // Returns the previous mode, 0 without a context.
    int32_t SetStretchBltMode(int32_t mode);
    // Returns the number of lines drawn, 0 when nothing was drawn.
    int32_t StretchDIBits(int32_t xDest, int32_t yDest, int32_t destWidth, int32_t destHeight,
                          int32_t xSrc, int32_t ySrc, int32_t srcWidth, int32_t srcHeight,
                          const void* bits, const CDibHeader& header, uint32_t usage, uint32_t rop);

private:
    intptr_t m_hDC;  // native device context, 0 when none
    std::unique_ptr<platform::CFileDisplay> m_pFileDisplay;
};
