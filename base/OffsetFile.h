// The offset file: "FRAME" and a NUL, the sample count, the width and the height (signed 32-bit
// each), then the signed 16-bit samples row by row. Header-only, so that the host reads and
// writes the file by the library's own rules.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

#include "base/ByteIO.h"

namespace kavrel {

constexpr char kOffsetFileMagic[6] = {'F', 'R', 'A', 'M', 'E', '\0'};
constexpr size_t kOffsetFileHeaderSize = 18;
// The largest map a file may hold: many times the display's 1280 x 1024 samples. A larger claim
// is refused before anything is allocated or read.
constexpr int32_t kOffsetFileMaxSamples = 4096 * 4096;

struct COffsetFileHeader {
    int32_t count = 0;
    int32_t cols = 0;
    int32_t rows = 0;
};

// Whether the sizes describe a map: none negative, the count width x height.
constexpr bool HasConsistentSizes(const COffsetFileHeader& header) {
    return header.count >= 0 && header.rows >= 0 && header.cols >= 0 &&
           static_cast<int64_t>(header.rows) * header.cols == header.count;
}

// The bytes a file of count samples needs.
constexpr int64_t OffsetFileLength(int32_t count) {
    return static_cast<int64_t>(kOffsetFileHeaderSize) + 2 * static_cast<int64_t>(count);
}

// The header, or nothing when the data ends first. The magic is skipped, not checked: a map is
// taken from any file whose sizes and length fit.
inline std::optional<COffsetFileHeader> ReadOffsetFileHeader(CByteReader& reader) {
    reader.Skip(sizeof kOffsetFileMagic);
    COffsetFileHeader header;
    header.count = static_cast<int32_t>(reader.LE32());
    header.cols = static_cast<int32_t>(reader.LE32());
    header.rows = static_cast<int32_t>(reader.LE32());
    if (reader.RanOut()) return std::nullopt;
    return header;
}

// Whether the map of a file of fileLength bytes (-1 when unknown) is loaded: consistent sizes,
// at most kOffsetFileMaxSamples, all of them in the file.
constexpr bool IsUsableOffsetFile(const COffsetFileHeader& header, int64_t fileLength) {
    return HasConsistentSizes(header) && header.count <= kOffsetFileMaxSamples &&
           fileLength >= OffsetFileLength(header.count);
}

inline void WriteOffsetFileHeader(CByteWriter& bytes, const COffsetFileHeader& header) {
    bytes.Bytes(kOffsetFileMagic, sizeof kOffsetFileMagic);
    bytes.LE32(static_cast<uint32_t>(header.count));
    bytes.LE32(static_cast<uint32_t>(header.cols));
    bytes.LE32(static_cast<uint32_t>(header.rows));
}

}  // namespace kavrel
