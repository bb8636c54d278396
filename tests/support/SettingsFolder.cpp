#include "support/SettingsFolder.h"

#include <cstdlib>

#include "platform/Module.h"

namespace testing_support {

namespace {
constexpr const char* kFolderVariable = "KAVREL_INI_DIR";
}

#ifdef _WIN32

bool SettingsFolder::Supported() { return false; }
SettingsFolder::SettingsFolder(const std::string&) {}
SettingsFolder::~SettingsFolder() = default;
std::string SettingsFolder::FilePath() const { return std::string(); }

#else

bool SettingsFolder::Supported() { return true; }

SettingsFolder::SettingsFolder(const std::string& iniText) {
    if (const char* previous = std::getenv(kFolderVariable)) m_previous = previous;
    if (!iniText.empty()) WriteText(FilePath(), iniText);
    setenv(kFolderVariable, m_dir.Path("").c_str(), 1);
}

std::string SettingsFolder::FilePath() const {
    return m_dir.Path(platform::ModuleBaseName() + ".INI");
}

SettingsFolder::~SettingsFolder() {
    if (m_previous)
        setenv(kFolderVariable, m_previous->c_str(), 1);
    else
        unsetenv(kFolderVariable);
}

#endif

}  // namespace testing_support
