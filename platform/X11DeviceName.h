// The device names of X11 displays; not used outside platform/.
#pragma once

#include <string>

namespace platform {

struct CX11DeviceName {
    std::string display;  // as XOpenDisplay takes it: ":N" or ":N.S"
    std::string output;   // a RandR output name, empty for the whole screen
};

// "DISPLAY" (the display in environmentDisplay, null when unset), ":N" or ":N.S", each optionally
// followed by "/OUTPUT". False for any other name.
bool ParseX11DeviceName(const std::string& name, const char* environmentDisplay,
                        CX11DeviceName& parsed);

}  // namespace platform
