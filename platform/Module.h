#pragma once

#include <string>

namespace platform {

// The base name of the module that holds this code ("kavrel" for the library), without folder
// and extension. It captions message boxes and names the settings file.
std::string ModuleBaseName();

}  // namespace platform
