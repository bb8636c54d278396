// Chooses the rules of the loaded library's offset calculation ("CalibrationRules" in section
// "Imaging" of its settings file, which it reads on every calibration), so that the cases of both
// rules run in one process. Natively the settings file lies in a folder of this object's own
// (KAVREL_INI_DIR); on Windows it is the library's kavrel.INI in the Windows folder, through the
// profile functions, and the setting it held is put back at the end.
#pragma once

#include <string>

#include "base/NonCopyable.h"
#include "support/TestFiles.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <cstdlib>
#endif

namespace bench_shipped {

class CRulesSetting : private kavrel::CNonCopyable {
public:
    CRulesSetting() {
#ifdef _WIN32
        char previous[32] = {};
        m_bHadSetting = ::GetPrivateProfileStringA(kSection, kKey, "", previous, sizeof(previous),
                                                   kFile) > 0;
        m_strPrevious = previous;
#else
        if (const char* folder = std::getenv(kFolderVariable)) m_strPrevious = folder;
        m_bHadSetting = std::getenv(kFolderVariable) != nullptr;
        setenv(kFolderVariable, m_Folder.Path("").c_str(), 1);
#endif
    }

    virtual ~CRulesSetting() {
#ifdef _WIN32
        const char* previous = m_bHadSetting ? m_strPrevious.c_str() : nullptr;
        ::WritePrivateProfileStringA(kSection, kKey, previous, kFile);
#else
        if (m_bHadSetting)
            setenv(kFolderVariable, m_strPrevious.c_str(), 1);
        else
            unsetenv(kFolderVariable);
#endif
    }

    // 1 the block rules, 2 the pixel rules.
    void Choose(int rules) const {
        const std::string value = std::to_string(rules);
#ifdef _WIN32
        ::WritePrivateProfileStringA(kSection, kKey, value.c_str(), kFile);
#else
        testing_support::WriteText(m_Folder.Path("kavrel.INI"),
                                   std::string("[") + kSection + "]\n" + kKey + "=" + value + "\n");
#endif
    }

private:
    static constexpr const char* kSection = "Imaging";
    static constexpr const char* kKey = "CalibrationRules";
#ifdef _WIN32
    static constexpr const char* kFile = "kavrel.INI";
#else
    static constexpr const char* kFolderVariable = "KAVREL_INI_DIR";
    testing_support::TempDir m_Folder{"kavrel-bench-settings-"};
#endif
    bool m_bHadSetting = false;
    std::string m_strPrevious;
};

}  // namespace bench_shipped
