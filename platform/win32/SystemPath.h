// Paths as the system's wide calls take them. The library and the host hold names in the ANSI
// code page, as hosts hand them over; the ANSI calls would limit a path to MAX_PATH (260)
// characters, which a lab's folders on a network share easily pass.
#pragma once

#include <string>

namespace platform {

// The path for the wide calls: an absolute path too long for the plain form in its extended form
// (\\?\C:\..., \\?\UNC\server\share\...), which no length limit but the system's 32767
// characters applies to; a shorter one as it is. A relative path is made absolute first when it
// is long, '/' becomes '\' and "." and ".." are resolved, since the extended form takes names
// literally.
std::wstring SystemPath(const std::string& path);
// The same for a path in wide characters (a path already in the extended form stays).
std::wstring SystemPath(const std::wstring& path);
// The path without the extended form's prefix, as a user writes it.
std::wstring PlainPath(const std::wstring& path);

// Removes a file of a path of any length. Never throws: it runs in clean-ups and destructors,
// often right after an allocation failed, and without memory for the wide path a short path
// still goes to the ANSI call, which needs none.
bool DeletePath(const std::string& path) noexcept;

// A name in the ANSI code page in wide characters, and back ('?' for characters the code page
// lacks; unrepresentable tells whether there was any).
std::wstring WideName(const std::string& name);
std::string AnsiName(const std::wstring& name, bool* unrepresentable = nullptr);

}  // namespace platform
