// Reading integers from INI text with the rules of the Windows private-profile functions.
#pragma once

#include <string>

namespace platform {

// Looks the key up in the INI text (sections and keys without regard to case, white space around
// names and values ignored, ';' comment lines) and converts its value as GetPrivateProfileIntA does.
unsigned ProfileIntFromText(const std::string& text, const char* section, const char* key,
                            int defaultValue);

}  // namespace platform
