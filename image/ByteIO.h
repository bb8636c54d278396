// Little-endian numbers in the library's files, and files that are replaced only when complete.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace platform {
class CFile;
}

namespace kavrel {

inline uint16_t ReadLE16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
inline uint32_t ReadLE32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

// Collects the bytes of a file header.
class CByteWriter {
public:
    void Bytes(const void* data, size_t size);
    void LE16(uint16_t value);
    void LE32(uint32_t value);
    const std::vector<uint8_t>& Data() const { return m_data; }

private:
    std::vector<uint8_t> m_data;
};

// Writes a file through a temporary file beside it and replaces the old file only when the new
// one is complete, so a failed write (full disk, I/O error) leaves the old file byte for byte and
// no temporary file behind. The writer returns false when any of its writes failed.
bool SaveFileSafely(const std::string& path, const std::function<bool(platform::CFile&)>& writer);

// The name of the temporary file that SaveFileSafely writes beside path.
std::string TemporaryPathFor(const std::string& path);

}  // namespace kavrel
