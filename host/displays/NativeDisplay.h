// Whether a device name names a screen that shows the library's packed values unchanged, as an
// exposure or a calibration needs, rather than a file display or a screen in another mode.
#pragma once

#include <string>

namespace host {

// A file display's name ("file:PATH").
bool IsFileDisplay(const std::string& device);
// Why the device name names no such screen, in a few words to follow the name; empty when it
// names one.
std::string NativeDisplayProblem(const std::string& device);
// Throws CHostError saying why the device name names no such screen.
void RequireNativeDisplay(const std::string& device);

}  // namespace host
