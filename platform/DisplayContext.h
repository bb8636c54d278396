// CDC: the device context of the output display.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

// What the library asks of the display when it opens it.
struct CDisplayMode {
    std::string deviceName;
    int32_t width;
    int32_t height;
    int32_t bitsPerPel;
    int32_t frequency;
};

// The 40-byte information header of a device-independent bitmap handed to StretchDIBits.
struct CDibHeader {
    uint32_t biSize;
    int32_t biWidth;
    int32_t biHeight;
    uint16_t biPlanes;
    uint16_t biBitCount;
    uint32_t biCompression;
    uint32_t biSizeImage;
    int32_t biXPelsPerMeter;
    int32_t biYPelsPerMeter;
    uint32_t biClrUsed;
    uint32_t biClrImportant;
};

class CDisplayBackend;

// Without a device context every drawing call draws nothing and reports nothing.
class CDC {
public:
    CDC();
    virtual ~CDC();
    CDC(const CDC&) = delete;
    CDC& operator=(const CDC&) = delete;

    // Creates a device context for the named display in the given mode; false when none is made.
    bool CreateDC(const CDisplayMode& mode);
    // Deletes the device context, if any.
    void DeleteDC();
    bool HasDC() const;

    void FillSolidRect(int32_t x, int32_t y, int32_t width, int32_t height, uint32_t colorRef);
    int32_t SetStretchBltMode(int32_t mode);
    int32_t StretchDIBits(int32_t xDest, int32_t yDest, int32_t destWidth, int32_t destHeight,
                          int32_t xSrc, int32_t ySrc, int32_t srcWidth, int32_t srcHeight,
                          const void* bits, const CDibHeader& header, uint32_t usage, uint32_t rop);

private:
    std::unique_ptr<CDisplayBackend> m_pBackend;
};
