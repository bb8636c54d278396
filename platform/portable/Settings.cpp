#include "platform/Settings.h"

#include <cstdlib>

#include "platform/File.h"
#include "platform/IniFile.h"
#include "platform/Module.h"

namespace platform {

namespace {
constexpr int64_t kMaxSettingsBytes = 1 << 20;

std::string SettingsPath() {
    const char* folder = std::getenv("KAVREL_INI_DIR");
    std::string path = (folder != nullptr && *folder != '\0') ? folder : "/etc";
    return path + "/" + ModuleBaseName() + ".INI";
}
}  // namespace

unsigned GetProfileInt(const char* section, const char* key, int defaultValue) {
    // Only a regular file is read (a FIFO would block, a device never end), and only as much of it
    // as a settings file can sensibly hold.
    CFile file;
    if (!file.OpenRead(SettingsPath())) return static_cast<unsigned>(defaultValue);
    const int64_t length = file.Length();
    std::string text(
        static_cast<size_t>(length < 0 || length > kMaxSettingsBytes ? kMaxSettingsBytes : length),
        '\0');
    text.resize(file.Read(text.data(), text.size()));
    return ProfileIntFromText(text, section, key, defaultValue);
}

}  // namespace platform
