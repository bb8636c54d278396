// Little-endian numbers appended to a file built byte by byte in a test. Header only and standard
// C++ alone, so that every test program can use it; numbers are read back with the library's
// kavrel::ReadLE16 and kavrel::ReadLE32 (base/ByteIO.h).
#pragma once

#include <cstdint>
#include <vector>

namespace testing_support {

inline void PutLE16(std::vector<uint8_t>& out, uint32_t value) {
    out.push_back(static_cast<uint8_t>(value));
    out.push_back(static_cast<uint8_t>(value >> 8));
}

inline void PutLE32(std::vector<uint8_t>& out, uint32_t value) {
    PutLE16(out, value);
    PutLE16(out, value >> 16);
}

// Overwrites the four bytes at `at` with the value.
inline void PatchLE32(std::vector<uint8_t>& bytes, size_t at, uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<uint8_t>(value >> (8 * i));
}

}  // namespace testing_support
