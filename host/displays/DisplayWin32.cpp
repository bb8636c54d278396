// The host's view of Windows displays through GDI. Device names as the library takes them:
// "DISPLAY" (the desktop) or a display device such as \\.\DISPLAY2.
#include <windows.h>

#include <cstdio>

#include "displays/Display.h"

namespace host {

namespace {

// The library's display mode record holds at most 31 characters of the name.
constexpr size_t kLongestName = 31;

bool SameName(const std::string& a, const char* b) { return lstrcmpiA(a.c_str(), b) == 0; }

// "DISPLAY", or the name of a display device that is part of the desktop. Some systems hand
// out a context for any name, so the list of devices decides.
bool IsDisplayName(const std::string& device) {
    if (SameName(device, "DISPLAY")) return true;
    DISPLAY_DEVICEA adapter{};
    adapter.cb = sizeof adapter;
    for (DWORD i = 0; EnumDisplayDevicesA(nullptr, i, &adapter, 0); ++i, adapter.cb = sizeof adapter)
        if ((adapter.StateFlags & DISPLAY_DEVICE_ATTACHED_TO_DESKTOP) != 0 &&
            SameName(device, adapter.DeviceName))
            return true;
    return false;
}

HDC CreateDisplayDC(const std::string& device, std::string& reason) {
    if (device.size() > kLongestName) {
        reason = "longer than the 31 characters a display name may have";
        return nullptr;
    }
    if (!IsDisplayName(device)) {
        reason = "names no display (kavrel-host displays lists them)";
        return nullptr;
    }
    HDC dc = CreateDCA(device.c_str(), nullptr, nullptr, nullptr);
    if (dc == nullptr)
        reason = "names no display (kavrel-host displays lists them)";
    return dc;
}

void DescribeDC(HDC dc, CScreenMode& mode) {
    mode.width = GetDeviceCaps(dc, HORZRES);
    mode.height = GetDeviceCaps(dc, VERTRES);
    mode.depth = GetDeviceCaps(dc, BITSPIXEL) * GetDeviceCaps(dc, PLANES);
    const int refresh = GetDeviceCaps(dc, VREFRESH);
    // 0 and 1 stand for the hardware's default rate.
    mode.refresh = refresh > 1 ? refresh : 0;
    mode.eightBitColours = mode.depth == 24 || mode.depth == 32;
}

}  // namespace

bool FindDisplay(const std::string& device, CScreenMode& mode, std::string& reason) {
    HDC dc = CreateDisplayDC(device, reason);
    if (dc == nullptr) return false;
    DescribeDC(dc, mode);
    DeleteDC(dc);
    return true;
}

bool ReadDisplay(const std::string& device, int width, int height, std::vector<uint8_t>& bgr,
                 std::string& reason) {
    HDC dc = CreateDisplayDC(device, reason);
    if (dc == nullptr) return false;
    HDC memory = CreateCompatibleDC(dc);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = memory != nullptr
                         ? CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0)
                         : nullptr;
    bool read = false;
    if (bitmap != nullptr && bits != nullptr) {
        HGDIOBJ old = SelectObject(memory, bitmap);
        read = BitBlt(memory, 0, 0, width, height, dc, 0, 0, SRCCOPY) != 0;
        GdiFlush();
        if (read) {
            const uint8_t* bgrx = static_cast<const uint8_t*>(bits);
            bgr.assign(3 * static_cast<size_t>(width) * static_cast<size_t>(height), 0);
            for (size_t i = 0; i < static_cast<size_t>(width) * height; ++i)
                for (int b = 0; b < 3; ++b) bgr[3 * i + b] = bgrx[4 * i + b];
        }
        SelectObject(memory, old);
    }
    if (bitmap != nullptr) DeleteObject(bitmap);
    if (memory != nullptr) DeleteDC(memory);
    DeleteDC(dc);
    if (!read) reason = "the screen's picture could not be copied (BitBlt failed)";
    return read;
}

std::vector<CDisplayEntry> ListDisplays() {
    std::vector<CDisplayEntry> entries;
    entries.push_back(CDisplayEntry{"DISPLAY", "the desktop (the primary display)"});
    DISPLAY_DEVICEA device{};
    device.cb = sizeof device;
    for (DWORD i = 0; EnumDisplayDevicesA(nullptr, i, &device, 0); ++i, device.cb = sizeof device) {
        if ((device.StateFlags & DISPLAY_DEVICE_ATTACHED_TO_DESKTOP) == 0) continue;
        DEVMODEA mode{};
        mode.dmSize = sizeof mode;
        char text[160] = "mode unknown";
        if (EnumDisplaySettingsA(device.DeviceName, ENUM_CURRENT_SETTINGS, &mode))
            std::snprintf(text, sizeof text, "%lu x %lu at (%ld, %ld), %lu-bit colour",
                          static_cast<unsigned long>(mode.dmPelsWidth),
                          static_cast<unsigned long>(mode.dmPelsHeight),
                          static_cast<long>(mode.dmPosition.x), static_cast<long>(mode.dmPosition.y),
                          static_cast<unsigned long>(mode.dmBitsPerPel));
        std::string description = text;
        // 0 and 1 stand for the hardware's default rate.
        if (mode.dmDisplayFrequency > 1)
            description += ", " + std::to_string(mode.dmDisplayFrequency) + " Hz";
        if (device.StateFlags & DISPLAY_DEVICE_PRIMARY_DEVICE) description += ", primary";
        if (device.DeviceString[0] != '\0') description += " (" + std::string(device.DeviceString) + ")";
        entries.push_back(CDisplayEntry{device.DeviceName, description});
    }
    return entries;
}

}  // namespace host
