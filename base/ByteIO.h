// Little-endian numbers in the library's files.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

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

}  // namespace kavrel
