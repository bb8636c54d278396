#include "platform/Settings.h"

#include <windows.h>
// windows.h maps GetProfileInt to GetProfileIntA; the settings function keeps its own name.
#undef GetProfileInt

#include "platform/Module.h"

namespace platform {

unsigned GetProfileInt(const char* section, const char* key, int defaultValue) {
    const std::string file = ModuleBaseName() + ".INI";
    return ::GetPrivateProfileIntA(section, key, defaultValue, file.c_str());
}

}  // namespace platform
