// Temporary folders and files for tests.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "support/LittleEndian.h"
#include "base/NonCopyable.h"

namespace testing_support {

// A fresh folder, removed with everything in it when the object goes.
class TempDir : private kavrel::CNonCopyable {
public:
    // The folder's name starts with prefix, in the system's temporary folder (TMPDIR when set).
    explicit TempDir(const std::string& prefix = "kavrel-test-");
    virtual ~TempDir();
    // The file of that name in the folder; Path("") is the folder with a separator at the end.
    std::string Path(const std::string& name) const;
    const std::filesystem::path& Folder() const { return m_path; }
    // Names of the files in the folder, sorted.
    std::vector<std::string> Files() const;

private:
    std::filesystem::path m_path;
};

// Writes the file anew; throws std::runtime_error when that fails.
void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes);
// Writes the text as it is, without line-end conversion.
void WriteText(const std::string& path, const std::string& text);
// The whole file; empty when it cannot be opened.
std::vector<uint8_t> ReadBytes(const std::string& path);
// The same as text.
std::string ReadText(const std::string& path);
bool FileExists(const std::string& path);


}  // namespace testing_support
