#include "fuzz/FuzzSupport.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>

namespace fuzzing {

namespace {

// One folder per process, removed when the process ends normally. A run that aborts leaves it
// behind in the temporary folder, with the input that was being read.
class ScratchFolder {
public:
    ScratchFolder() {
        std::random_device random;
        const std::filesystem::path base = std::filesystem::temp_directory_path();
        do {
            m_path = base / ("kavrel-fuzz-" + std::to_string(random()));
        } while (!std::filesystem::create_directory(m_path));
    }
    ~ScratchFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }
    const std::filesystem::path& Path() const { return m_path; }

private:
    std::filesystem::path m_path;
};

const ScratchFolder& Scratch() {
    static const ScratchFolder folder;
    return folder;
}

}  // namespace

std::string ScratchPath(const std::string& name) { return (Scratch().Path() / name).string(); }

std::string WriteScratchFile(const std::string& name, const uint8_t* data, size_t size) {
    const std::string path = ScratchPath(name);
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    if (size != 0)
        file.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    file.close();
    if (!file) Fail(__FILE__, __LINE__, "the input could not be written to the scratch folder");
    return path;
}

std::string WriteScratchFile(const std::string& name, const std::vector<uint8_t>& bytes) {
    return WriteScratchFile(name, bytes.data(), bytes.size());
}

std::vector<uint8_t> ReadWholeFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary | std::ios::ate);
    if (!file) return {};
    std::vector<uint8_t> bytes(static_cast<size_t>(file.tellg()));
    file.seekg(0);
    file.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return bytes;
}

void Fail(const char* file, int line, const char* what) {
    std::fprintf(stderr, "%s:%d: expectation failed: %s\n", file, line, what);
    std::fflush(stderr);
    std::abort();
}

}  // namespace fuzzing
