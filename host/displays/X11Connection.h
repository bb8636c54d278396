// A connection of the host's own to the X display that a device name names (DisplayX11.cpp).
#pragma once

#include <X11/Xlib.h>

#include <memory>
#include <string>

#include "displays/Display.h"

namespace host {

struct CCloseDisplay {
    void operator()(Display* display) const { XCloseDisplay(display); }
};
using CConnection = std::unique_ptr<Display, CCloseDisplay>;

// Finds the display, and keeps the connection open in connection for the caller.
bool OpenX11Display(const std::string& device, CConnection& connection, CScreenMode& mode,
                    std::string& reason);

}  // namespace host
