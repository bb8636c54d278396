// Points the library's settings lookup at a fresh folder for as long as the object exists,
// holding a settings file with the given text (or none when the text is empty). Only the portable
// build reads its settings from a folder of the caller's choosing (KAVREL_INI_DIR); the Windows
// build reads the Windows folder, where Supported() is false and the object changes nothing.
#pragma once

#include <optional>
#include <string>

#include "support/TestFiles.h"
#include "base/NonCopyable.h"

namespace testing_support {

class SettingsFolder : private kavrel::CNonCopyable {
public:
    explicit SettingsFolder(const std::string& iniText = "");
    ~SettingsFolder();

    static bool Supported();
    // Where the library looks for its settings file in the folder (there need be none).
    std::string FilePath() const;

private:
    TempDir m_dir;
    std::optional<std::string> m_previous;
};

}  // namespace testing_support
