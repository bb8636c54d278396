// Little-endian numbers in the library's files: reading them from bytes in memory, and collecting
// them for a file that is to be written.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <vector>

#include "base/NonCopyable.h"

namespace kavrel {

inline uint16_t ReadLE16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
inline uint32_t ReadLE32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

// Reads little-endian numbers one after another from bytes in memory, and never past their end:
// a read that would go past it gives 0, reads nothing, and marks the reader as having run out, so
// that a parser can read a whole header and ask once at the end whether the data held it all.
// Header-only, so that the host reads the library's files with the same code.
class CByteReader : private kavrel::CNonCopyable {
public:
    explicit CByteReader(std::span<const uint8_t> data) : m_data(data) {}
    virtual ~CByteReader() = default;

    uint16_t LE16() {
        const uint8_t* p = Take(2);
        return p ? ReadLE16(p) : 0;
    }
    uint32_t LE32() {
        const uint8_t* p = Take(4);
        return p ? ReadLE32(p) : 0;
    }
    // Copies size bytes to out; on running out, out is left as it was.
    void Bytes(void* out, size_t size) {
        const uint8_t* p = Take(size);
        if (p && size > 0) std::memcpy(out, p, size);
    }
    void Skip(size_t size) { Take(size); }

    // True once any read asked for more than was left.
    bool RanOut() const { return m_bRanOut; }
    size_t Position() const { return m_nPosition; }
    size_t Remaining() const { return m_data.size() - m_nPosition; }

private:
    // The next size bytes, or null (and the reader marked) when fewer are left.
    const uint8_t* Take(size_t size) {
        if (m_bRanOut || size > Remaining()) {
            m_bRanOut = true;
            return nullptr;
        }
        const uint8_t* p = m_data.data() + m_nPosition;
        m_nPosition += size;
        return p;
    }

    std::span<const uint8_t> m_data;
    size_t m_nPosition = 0;
    bool m_bRanOut = false;
};

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
