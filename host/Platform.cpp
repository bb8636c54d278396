// The host's only operating-system code: run-time library loading, the program's own folder and
// the library's settings file.
#include "Platform.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#include <limits.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "platform/IniFile.h"
#endif

namespace host {

#ifdef _WIN32

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

CLibrarySetting ReadLibrarySetting(const std::string& libraryPath, const char* section,
                                   const char* key, int defaultValue) {
    // The library names its settings file after its own module: kavrel.dll reads kavrel.INI.
    std::string name = libraryPath;
    const size_t slash = name.find_last_of("\\/:");
    if (slash != std::string::npos) name.erase(0, slash + 1);
    const size_t dot = name.find_last_of('.');
    if (dot != std::string::npos) name.erase(dot);
    if (name.empty()) name = "kavrel";
    name += ".INI";
    CLibrarySetting setting;
    setting.value = GetPrivateProfileIntA(section, key, defaultValue, name.c_str());
    // A second default tells a value read from the file from the default.
    setting.present =
        GetPrivateProfileIntA(section, key, defaultValue + 1, name.c_str()) == setting.value;
    char folder[MAX_PATH + 1] = "";
    const UINT length = GetWindowsDirectoryA(folder, MAX_PATH);
    setting.file =
        (length > 0 && length < MAX_PATH ? std::string(folder, length) + "\\" : "") + name;
    return setting;
}

#else

const char* LibraryFileName() { return "libkavrel.so"; }

void* OpenLibrary(const std::string& path, std::string& error) {
    void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) {
        const char* reason = dlerror();
        error = reason != nullptr ? reason : "cannot be loaded";
    }
    return library;
}

void* FindFunction(void* library, const char* name) { return dlsym(library, name); }

void CloseLibrary(void* library) { dlclose(library); }

std::string BesideProgram(const std::string& name) {
    char path[PATH_MAX + 1];
    const ssize_t length = readlink("/proc/self/exe", path, PATH_MAX);
    if (length <= 0) return name;
    const std::string program(path, static_cast<size_t>(length));
    const size_t slash = program.rfind('/');
    return slash == std::string::npos ? name : program.substr(0, slash + 1) + name;
}

CLibrarySetting ReadLibrarySetting(const std::string&, const char* section, const char* key,
                                   int defaultValue) {
    const char* folder = std::getenv("KAVREL_INI_DIR");
    CLibrarySetting setting;
    setting.file =
        std::string(folder != nullptr && *folder != '\0' ? folder : "/etc") + "/kavrel.INI";
    setting.value = static_cast<unsigned>(defaultValue);
    std::ifstream file(setting.file, std::ios::binary);
    if (!file) return setting;
    std::ostringstream text;
    text << file.rdbuf();
    setting.value = platform::ProfileIntFromText(text.str(), section, key, defaultValue);
    // A second default tells a value read from the file from the default.
    setting.present =
        platform::ProfileIntFromText(text.str(), section, key, defaultValue + 1) == setting.value;
    return setting;
}

#endif

}  // namespace host
