// Paths the host puts together and prints, with one separator per system, and the one rule for
// every path on Windows: the host's strings hold names in the ANSI code page, as the user typed
// them and as the library and the host's own file calls take them; a std::filesystem::path is
// made from and turned back into such a string only through FsPath and NarrowPath (its own
// string() would give UTF-8, which the ANSI calls then read as other characters).
#pragma once

#include <filesystem>
#include <string>

namespace host {

// The path of a name as the host holds it.
std::filesystem::path FsPath(const std::string& path);
// The name of a path as the host holds it; a character the ANSI code page lacks becomes '?'.
std::string NarrowPath(const std::filesystem::path& path);

// The path with the system's own separator: '/' becomes '\' on Windows; elsewhere the path stays
// as it is, since '\' may be part of a name there.
inline std::string NativePath(const std::string& path) {
    return NarrowPath(FsPath(path).make_preferred());
}

// The file name in the folder, joined with the system's separator.
inline std::string PathInFolder(const std::string& folder, const std::string& name) {
    return NativePath(NarrowPath(FsPath(folder) / FsPath(name)));
}

// The folder part of a path and its file name, as the host holds them.
inline std::string FolderOf(const std::string& path) {
    return NarrowPath(FsPath(path).parent_path());
}
inline std::string FileNameOf(const std::string& path) {
    return NarrowPath(FsPath(path).filename());
}

}  // namespace host
