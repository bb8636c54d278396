#include <dlfcn.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include "files/SharedLibrary.h"

namespace host {

const char* LibraryFileName() { return "libkavrel.so"; }

void* OpenLibrary(const std::string& path, std::string& error) {
    void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) {
        const char* reason = dlerror();
        error = reason != nullptr ? reason : "cannot be loaded";
    }
    return library;
}

bool IsFolder(const std::string& path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool Exists(const std::string& path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0;
}

void* FindFunction(void* library, const char* name) { return dlsym(library, name); }

void CloseLibrary(void* library) { dlclose(library); }

std::string InCurrentFolder(const std::string& path) {
    if (path.find_first_of("/\\") != std::string::npos || !Exists(path)) return path;
    return "./" + path;
}

std::string BesideProgram(const std::string& name) {
    char path[PATH_MAX + 1];
    const ssize_t length = readlink("/proc/self/exe", path, PATH_MAX);
    if (length <= 0) return name;
    const std::string program(path, static_cast<size_t>(length));
    const size_t slash = program.rfind('/');
    return slash == std::string::npos ? name : program.substr(0, slash + 1) + name;
}

// A shared object records no version the host could show.
std::string LibraryVersion(const std::string&) { return std::string(); }

}  // namespace host
