// Display device contexts through GDI.
#include "platform/NativeDisplay.h"

#include <windows.h>

#include <cstddef>
#include <cstring>

static_assert(kBiRgb == BI_RGB && kColorOnColor == COLORONCOLOR &&
              kDibRgbColors == DIB_RGB_COLORS && kSrcCopy == SRCCOPY);
static_assert(sizeof(CDibHeader) == sizeof(BITMAPINFOHEADER));

namespace platform {

namespace {

// The record as far as its two reserved members, without the panning members of the longer
// layout: the size that the display mode record announces.
constexpr WORD kDevModeSize = offsetof(DEVMODEA, dmPanningWidth);
static_assert(kDevModeSize == 148);
constexpr DWORD kDevModeFields =
    DM_BITSPERPEL | DM_PELSWIDTH | DM_PELSHEIGHT | DM_DISPLAYFLAGS | DM_DISPLAYFREQUENCY;
static_assert(kDevModeFields == 0x7C0000);

HDC Handle(intptr_t dc) { return reinterpret_cast<HDC>(dc); }

}  // namespace

intptr_t CreateNativeDC(const CDisplayMode& mode) {
    DEVMODEA devmode;
    std::memset(&devmode, 0, sizeof devmode);
    // A name cut to fit could name another display: a name that does not fit is refused.
    if (mode.deviceName.size() >= sizeof devmode.dmDeviceName) return 0;
    std::memcpy(devmode.dmDeviceName, mode.deviceName.c_str(), mode.deviceName.size() + 1);
    devmode.dmSize = kDevModeSize;
    devmode.dmDriverExtra = 0;
    devmode.dmFields = kDevModeFields;
    devmode.dmBitsPerPel = static_cast<DWORD>(mode.bitsPerPel);
    devmode.dmPelsWidth = static_cast<DWORD>(mode.width);
    devmode.dmPelsHeight = static_cast<DWORD>(mode.height);
    devmode.dmDisplayFlags = 0;
    devmode.dmDisplayFrequency = static_cast<DWORD>(mode.frequency);
    return reinterpret_cast<intptr_t>(
        ::CreateDCA(mode.deviceName.c_str(), nullptr, nullptr, &devmode));
}

void DeleteNativeDC(intptr_t dc) {
    if (dc != 0) ::DeleteDC(Handle(dc));
}

// As the device-context class of the class library does it: an opaque rectangle in the
// background colour, without text.
void FillNativeRect(intptr_t dc, int32_t x, int32_t y, int32_t width, int32_t height,
                    uint32_t colorRef) {
    if (dc == 0) return;
    const RECT rect{x, y, x + width, y + height};
    ::SetBkColor(Handle(dc), colorRef);
    ::ExtTextOutA(Handle(dc), 0, 0, ETO_OPAQUE, &rect, nullptr, 0, nullptr);
}

int32_t SetNativeStretchBltMode(intptr_t dc, int32_t mode) {
    return dc == 0 ? 0 : ::SetStretchBltMode(Handle(dc), mode);
}

int32_t StretchNativeDIBits(intptr_t dc, int32_t xDest, int32_t yDest, int32_t destWidth,
                            int32_t destHeight, int32_t xSrc, int32_t ySrc, int32_t srcWidth,
                            int32_t srcHeight, const void* bits, const CDibHeader& header,
                            uint32_t usage, uint32_t rop) {
    if (dc == 0) return 0;
    BITMAPINFO info;
    std::memset(&info, 0, sizeof info);
    std::memcpy(&info.bmiHeader, &header, sizeof header);
    return ::StretchDIBits(Handle(dc), xDest, yDest, destWidth, destHeight, xSrc, ySrc, srcWidth,
                           srcHeight, bits, &info, usage, rop);
}

}  // namespace platform
