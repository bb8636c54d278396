// The private settings file: the module's base name followed by ".INI", never written.
#pragma once

namespace platform {

// Reads an integer as GetPrivateProfileIntA does: the default for a missing file, section, key or
// empty value; otherwise the number at the start of the value (decimal, or 0x, 0o, 0b prefixed),
// 0 when it starts with none. Win32 looks the file up in the Windows directory; the portable build
// in the folder named by KAVREL_INI_DIR, else /etc.
unsigned GetProfileInt(const char* section, const char* key, int defaultValue);

}  // namespace platform
