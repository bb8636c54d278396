// The few things the host needs from the operating system: loading a shared library by path,
// finding its functions, and the folder of the running program. Everything else is standard C++.
#pragma once

#include <string>

namespace host {

// The library's file name on this system ("libkavrel.so" or "kavrel.dll").
const char* LibraryFileName();

// Loads the library at path; returns its handle, or null with a reason in error.
void* OpenLibrary(const std::string& path, std::string& error);
// The address of an exported function, or null.
void* FindFunction(void* library, const char* name);
void CloseLibrary(void* library);

// The path of a file of the given name in the folder of the running program, or the bare name
// when that folder cannot be told.
std::string BesideProgram(const std::string& name);

// An integer setting of the library, read from the library's settings file as the library reads
// it: on Windows with the private-profile lookup of the file named after the library's module
// (kavrel.INI in the Windows folder), elsewhere from kavrel.INI in the folder named by the
// environment variable KAVREL_INI_DIR, or /etc. present is false when the default was taken.
struct CLibrarySetting {
    unsigned value = 0;
    bool present = false;
    std::string file;  // where the library looks for it
};
CLibrarySetting ReadLibrarySetting(const std::string& libraryPath, const char* section,
                                   const char* key, int defaultValue);

}  // namespace host
