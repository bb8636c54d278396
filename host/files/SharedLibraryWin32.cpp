#include "files/SharedLibrary.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <vector>

#include "platform/win32/SystemPath.h"

namespace host {

const char* LibraryFileName() { return "kavrel.dll"; }

namespace {

constexpr int kProgramBits = static_cast<int>(sizeof(void*) * 8);

// 32 or 64 for a Windows DLL of x86 or x64 code, by the machine in its PE header; 0 otherwise.
int ModuleBits(const std::string& path) {
    HANDLE file = CreateFileW(platform::SystemPath(path).c_str(), GENERIC_READ, FILE_SHARE_READ,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 0;
    unsigned char head[1024] = {};
    DWORD read = 0;
    const BOOL ok = ReadFile(file, head, sizeof head, &read, nullptr);
    CloseHandle(file);
    if (!ok || read < 0x40 || head[0] != 'M' || head[1] != 'Z') return 0;
    const DWORD pe =
        head[0x3C] | head[0x3D] << 8 | head[0x3E] << 16 | static_cast<DWORD>(head[0x3F]) << 24;
    if (pe + 6 > read || head[pe] != 'P' || head[pe + 1] != 'E' || head[pe + 2] != 0 ||
        head[pe + 3] != 0)
        return 0;
    const unsigned machine = head[pe + 4] | head[pe + 5] << 8;
    return machine == 0x014C ? 32 : machine == 0x8664 ? 64 : 0;
}

}  // namespace

void* OpenLibrary(const std::string& path, std::string& error) {
    // No "cannot find DLL" box from the system: the host reports the failure itself.
    const UINT oldMode = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    HMODULE module = LoadLibraryA(path.c_str());
    const DWORD code = GetLastError();
    SetErrorMode(oldMode);
    if (module != nullptr) return reinterpret_cast<void*>(module);
    char text[512] = "";
    FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
                   text, sizeof text, nullptr);
    error = text;
    while (!error.empty() && (error.back() == '\n' || error.back() == '\r' || error.back() == '.'))
        error.pop_back();
    // Some system messages name the file through an insert ("%1 is not a valid Win32
    // application"), which the message is fetched without: the file is named in its place.
    for (size_t at = error.find("%1"); at != std::string::npos; at = error.find("%1", at))
        error.replace(at, 2, "the file");
    if (error.empty()) error = "error " + std::to_string(code);
    if (code == ERROR_BAD_EXE_FORMAT) {
        const int bits = ModuleBits(path);
        if (bits != 0 && bits != kProgramBits)
            error = "it is a " + std::to_string(bits) + "-bit DLL, and this " +
                    std::to_string(kProgramBits) + "-bit program loads only a " +
                    std::to_string(kProgramBits) + "-bit kavrel.dll (the " +
                    std::to_string(kProgramBits) + "-bit build's)";
    }
    return nullptr;
}

bool IsFolder(const std::string& path) {
    const DWORD attributes = GetFileAttributesW(platform::SystemPath(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool Exists(const std::string& path) {
    return GetFileAttributesW(platform::SystemPath(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

void* FindFunction(void* library, const char* name) {
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), name));
}

void CloseLibrary(void* library) { FreeLibrary(static_cast<HMODULE>(library)); }

std::string LibraryVersion(const std::string& path) {
    const std::wstring file = platform::SystemPath(path);
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(file.c_str(), &ignored);
    if (size == 0) return std::string();
    std::vector<unsigned char> data(size);
    VS_FIXEDFILEINFO* info = nullptr;
    UINT length = 0;
    if (!GetFileVersionInfoW(file.c_str(), 0, size, data.data()) ||
        !VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&info), &length) ||
        info == nullptr || length < sizeof *info)
        return std::string();
    return std::to_string(HIWORD(info->dwFileVersionMS)) + "." +
           std::to_string(LOWORD(info->dwFileVersionMS)) + "." +
           std::to_string(HIWORD(info->dwFileVersionLS)) + "." +
           std::to_string(LOWORD(info->dwFileVersionLS));
}

std::string InCurrentFolder(const std::string& path) {
    if (path.find_first_of("/\\:") != std::string::npos || !Exists(path)) return path;
    return ".\\" + path;
}

std::string BesideProgram(const std::string& name) {
    char path[MAX_PATH + 1];
    const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return name;
    const std::string program(path, length);
    const size_t slash = program.find_last_of("\\/");
    return slash == std::string::npos ? name : program.substr(0, slash + 1) + name;
}

}  // namespace host
