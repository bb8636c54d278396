// Loading a shared library at run time: the only operating-system code of the loader, in
// SharedLibraryWin32.cpp and SharedLibraryPosix.cpp.
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
// The file version recorded in the library's version resource ("1.0.0.0"); empty where the
// file has none (the native library on other systems) or cannot be read.
std::string LibraryVersion(const std::string& path);

// True when path names a folder; Exists: anything.
bool IsFolder(const std::string& path);
bool Exists(const std::string& path);

// A name given without a folder, of a file in the current folder, is that file, as for every other
// file the host is given; the system's loader would look for it on its search path instead. The
// name with the current folder put in front ("./NAME", ".\NAME"); a name of no such file, or one
// with a folder, is returned as it is, for the loader's search.
std::string InCurrentFolder(const std::string& path);

// The path of a file of the given name in the folder of the running program, or the bare name
// when that folder cannot be told.
std::string BesideProgram(const std::string& name);

}  // namespace host
