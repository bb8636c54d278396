// Paths the host puts together and prints, with one separator per system.
#pragma once

#include <filesystem>
#include <string>

namespace host {

// The path with the system's own separator: '/' becomes '\' on Windows; elsewhere the path stays
// as it is, since '\' may be part of a name there.
inline std::string NativePath(const std::string& path) {
    return std::filesystem::path(path).make_preferred().string();
}

// The file name in the folder, joined with the system's separator.
inline std::string PathInFolder(const std::string& folder, const std::string& name) {
    return NativePath((std::filesystem::path(folder) / name).string());
}

}  // namespace host
