#include "platform/win32/SystemPath.h"

#include <windows.h>

#include <cwchar>

namespace platform {

namespace {

// From this length on a path is given in the extended form: CreateDirectory's limit, which is
// MAX_PATH less room for an 8.3 file name.
constexpr size_t kLongPath = MAX_PATH - 12;

const wchar_t kExtended[] = L"\\\\?\\";
const wchar_t kExtendedUnc[] = L"\\\\?\\UNC\\";

bool StartsWith(const std::wstring& text, const wchar_t* prefix) {
    return text.compare(0, std::wcslen(prefix), prefix) == 0;
}

std::wstring FullPath(const std::wstring& path) {
    const DWORD size = ::GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (size == 0) return path;
    std::wstring full(size, L'\0');
    const DWORD length = ::GetFullPathNameW(path.c_str(), size, &full[0], nullptr);
    if (length == 0 || length >= size) return path;
    full.resize(length);
    return full;
}

}  // namespace

std::wstring WideName(const std::string& name) {
    if (name.empty()) return std::wstring();
    const int length =
        ::MultiByteToWideChar(CP_ACP, 0, name.data(), static_cast<int>(name.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(length > 0 ? length : 0), L'\0');
    if (length > 0)
        ::MultiByteToWideChar(CP_ACP, 0, name.data(), static_cast<int>(name.size()), &wide[0],
                              length);
    return wide;
}

std::string AnsiName(const std::wstring& name, bool* unrepresentable) {
    if (unrepresentable != nullptr) *unrepresentable = false;
    if (name.empty()) return std::string();
    BOOL lacking = FALSE;
    const int length = ::WideCharToMultiByte(CP_ACP, 0, name.data(), static_cast<int>(name.size()),
                                             nullptr, 0, nullptr, &lacking);
    std::string narrow(static_cast<size_t>(length > 0 ? length : 0), '\0');
    if (length > 0)
        ::WideCharToMultiByte(CP_ACP, 0, name.data(), static_cast<int>(name.size()), &narrow[0],
                              length, nullptr, &lacking);
    if (unrepresentable != nullptr) *unrepresentable = lacking != FALSE;
    return narrow;
}

std::wstring SystemPath(const std::wstring& path) {
    if (path.size() < kLongPath || StartsWith(path, kExtended)) return path;
    const std::wstring full = FullPath(path);
    if (full.size() < kLongPath) return full;
    if (StartsWith(full, L"\\\\")) return kExtendedUnc + full.substr(2);
    if (full.size() >= 3 && full[1] == L':' && full[2] == L'\\') return kExtended + full;
    return full;
}

std::wstring SystemPath(const std::string& path) { return SystemPath(WideName(path)); }

std::wstring PlainPath(const std::wstring& path) {
    if (StartsWith(path, kExtendedUnc)) return L"\\\\" + path.substr(std::wcslen(kExtendedUnc));
    if (StartsWith(path, kExtended)) return path.substr(std::wcslen(kExtended));
    return path;
}

bool DeletePath(const std::string& path) noexcept {
    try {
        return ::DeleteFileW(SystemPath(path).c_str()) != 0;
    } catch (...) {
        return ::DeleteFileA(path.c_str()) != 0;
    }
}

}  // namespace platform
