// Fuzz target: the settings reader, with fuzzed INI text, section and key.
//
// The input is "section NUL key NUL text"; an input with fewer than two NULs is all text, looked
// up as [Imaging] Gamma. The same text read from the settings file must give the same number,
// names match without regard to case, and a text without any '=' gives the default.
#include <cctype>
#include <cstdlib>

#include "fuzz/FuzzSupport.h"
#include "platform/IniFile.h"
#include "platform/Settings.h"

namespace {

std::string Upper(std::string s) {
    for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool folderSet = [] {
        // The settings file is looked up in the scratch folder.
        const std::string file = fuzzing::ScratchPath("kavrel.INI");
        return setenv("KAVREL_INI_DIR", file.substr(0, file.size() - 11).c_str(), 1) == 0;
    }();
    FUZZ_CHECK(folderSet);

    const std::string input(reinterpret_cast<const char*>(data), size);
    std::string section = "Imaging", key = "Gamma", text = input;
    const size_t first = input.find('\0');
    const size_t second = first == std::string::npos ? first : input.find('\0', first + 1);
    if (second != std::string::npos) {
        section = input.substr(0, first);
        key = input.substr(first + 1, second - first - 1);
        text = input.substr(second + 1);
    }
    const int defaultValue = static_cast<int>(size) - 100;

    const unsigned value =
        platform::ProfileIntFromText(text, section.c_str(), key.c_str(), defaultValue);
    FUZZ_CHECK(platform::ProfileIntFromText(text, Upper(section).c_str(), Upper(key).c_str(),
                                            defaultValue) == value);
    if (text.find('=') == std::string::npos)
        FUZZ_CHECK(value == static_cast<unsigned>(defaultValue));

    fuzzing::WriteScratchFile("kavrel.INI", reinterpret_cast<const uint8_t*>(text.data()),
                              text.size());
    FUZZ_CHECK(platform::GetProfileInt(section.c_str(), key.c_str(), defaultValue) == value);
    return 0;
}
