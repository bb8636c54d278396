#include "SharedLibrary.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

namespace host {

const char* LibraryFileName() { return "kavrel.dll"; }

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
    return nullptr;
}

void* FindFunction(void* library, const char* name) {
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), name));
}

void CloseLibrary(void* library) { FreeLibrary(static_cast<HMODULE>(library)); }

std::string BesideProgram(const std::string& name) {
    char path[MAX_PATH + 1];
    const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return name;
    const std::string program(path, length);
    const size_t slash = program.find_last_of("\\/");
    return slash == std::string::npos ? name : program.substr(0, slash + 1) + name;
}

}  // namespace host
