// Temporary folders and files for tests.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace testing_support {

// A fresh folder, removed with everything in it when the object goes.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    std::string Path(const std::string& name) const;
    // Names of the files in the folder, sorted.
    std::vector<std::string> Files() const;

private:
    std::filesystem::path m_path;
};

void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes);
std::vector<uint8_t> ReadBytes(const std::string& path);
bool FileExists(const std::string& path);

// Little-endian helpers for building files byte by byte.
void PutLE16(std::vector<uint8_t>& out, uint32_t value);
void PutLE32(std::vector<uint8_t>& out, uint32_t value);

}  // namespace testing_support
