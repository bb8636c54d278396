#include "platform/Settings.h"

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "platform/IniFile.h"
#include "platform/Module.h"

namespace platform {

namespace {
std::string SettingsPath() {
    const char* folder = std::getenv("KAVREL_INI_DIR");
    std::string path = (folder != nullptr && *folder != '\0') ? folder : "/etc";
    return path + "/" + ModuleBaseName() + ".INI";
}
}  // namespace

unsigned GetProfileInt(const char* section, const char* key, int defaultValue) {
    std::ifstream file(SettingsPath(), std::ios::binary);
    if (!file) return static_cast<unsigned>(defaultValue);
    std::ostringstream text;
    text << file.rdbuf();
    return ProfileIntFromText(text.str(), section, key, defaultValue);
}

}  // namespace platform
