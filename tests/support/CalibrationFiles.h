// LUT and offset files built byte by byte, with whatever header a test needs. Header only and
// standard C++ alone, like Bitmaps.h.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "support/LittleEndian.h"

namespace testing_support {

// How both files begin: the magic, its terminating zero and the header's count.
inline std::vector<uint8_t> MagicAndCount(const std::string& magic, int32_t count) {
    std::vector<uint8_t> file(magic.begin(), magic.end());
    file.push_back(0);
    PutLE32(file, static_cast<uint32_t>(count));
    return file;
}

// An offset file: the magic and its terminating zero, the header's sample count, columns and
// rows, then the samples as they are, however many.
inline std::vector<uint8_t> OffsetFileBytes(int32_t count, int32_t cols, int32_t rows,
                                            const std::vector<uint16_t>& samples,
                                            const std::string& magic = "FRAME") {
    std::vector<uint8_t> file = MagicAndCount(magic, count);
    PutLE32(file, static_cast<uint32_t>(cols));
    PutLE32(file, static_cast<uint32_t>(rows));
    for (uint16_t s : samples) PutLE16(file, s);
    return file;
}

// A LUT file: the magic and its terminating zero, the header's entry count, first and last
// input, then the entries as they are, however many.
inline std::vector<uint8_t> LutFileBytes(int32_t count, int16_t first, int16_t last,
                                         const std::vector<int16_t>& entries,
                                         const std::string& magic = "LUTFILE") {
    std::vector<uint8_t> file = MagicAndCount(magic, count);
    PutLE16(file, static_cast<uint16_t>(first));
    PutLE16(file, static_cast<uint16_t>(last));
    for (int16_t e : entries) PutLE16(file, static_cast<uint16_t>(e));
    return file;
}

}  // namespace testing_support
