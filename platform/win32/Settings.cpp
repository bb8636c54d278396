#include "platform/Settings.h"

#include <windows.h>

#include "platform/Module.h"

namespace platform {

unsigned GetProfileInt(const char* section, const char* key, int defaultValue) {
    const std::string file = ModuleBaseName() + ".INI";
    return ::GetPrivateProfileIntA(section, key, defaultValue, file.c_str());
}

}  // namespace platform
