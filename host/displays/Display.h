// The output displays as the operating system sees them, for the host's own checks: whether a
// device name names a display the library can draw on, in which mode, what the screen shows, and
// which names there are. X11 (DisplayX11.cpp) or GDI (DisplayWin32.cpp).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace host {

struct CScreenMode {
    int x = 0;  // where the display's picture starts on the screen
    int y = 0;
    int width = 0;
    int height = 0;
    int depth = 0;         // bits per pixel of the colour
    double refresh = 0;    // Hz, 0 when not known
    bool eightBitColours = false;  // blue, green and red each 8 bits, reaching the screen as they are
};

// Looks up the display that the library would open for the device name. False, with the reason
// in a few words to follow the name, when there is none; mode holds what could be learnt.
bool FindDisplay(const std::string& device, CScreenMode& mode, std::string& reason);

// width x height pixels of the display from its origin, top line first, 3 bytes each (blue,
// green, red), read back by the operating system's own means. False, with a reason, when the
// screen cannot be read.
bool ReadDisplay(const std::string& device, int width, int height, std::vector<uint8_t>& bgr,
                 std::string& reason);

struct CDisplayEntry {
    std::string name;         // a device name the library takes
    std::string description;  // its geometry, or why it cannot be reached
    bool reachable = true;
};
// The device names a user can give, with their geometry.
std::vector<CDisplayEntry> ListDisplays();

}  // namespace host
