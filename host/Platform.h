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

}  // namespace host
