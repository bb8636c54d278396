// The 40-byte information header of the bitmap format, field for field: the header of image and
// scan files, and of the device-independent bitmaps drawn on the display.
#pragma once

#include <cstdint>

struct CBitmapInfoHeader {
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
