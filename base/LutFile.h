// The LUT file: "LUTFILE" and a NUL, the entry count (32-bit), the lowest and the highest input
// (16-bit each), then the signed 16-bit entries. Header-only, so that the host reads and writes
// the file by the library's own rules.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <span>

#include "base/ByteIO.h"

namespace kavrel {

constexpr char kLutFileMagic[8] = {'L', 'U', 'T', 'F', 'I', 'L', 'E', '\0'};
constexpr size_t kLutFileHeaderSize = 16;
// The most entries a table may have: one for every 8-bit image value.
constexpr int32_t kLutFileMaxEntries = 256;
// The default table falls from this level at input 0 to 0 at input 255.
constexpr int32_t kLutDefaultTop = 4095;

struct CLutFileHeader {
    int32_t count = 0;
    int16_t firstInput = 0;
    int16_t lastInput = 0;
};

// The bytes a file of count entries needs.
constexpr int64_t LutFileLength(int32_t count) {
    return static_cast<int64_t>(kLutFileHeaderSize) + 2 * static_cast<int64_t>(count);
}

// The header, or nothing when the data ends first. The magic is skipped, not checked: a table is
// taken from any file whose count and length fit.
inline std::optional<CLutFileHeader> ReadLutFileHeader(CByteReader& reader) {
    reader.Skip(sizeof kLutFileMagic);
    // A braced list reads its fields in order.
    const CLutFileHeader header{static_cast<int32_t>(reader.LE32()),
                                static_cast<int16_t>(reader.LE16()),
                                static_cast<int16_t>(reader.LE16())};
    return reader.RanOut() ? std::nullopt : std::optional<CLutFileHeader>(header);
}

// Whether the table of a file of fileLength bytes (-1 when unknown) is used: 1 to 256 entries,
// all of them in the file. Any other file gives the default table.
constexpr bool IsUsableLutFile(const CLutFileHeader& header, int64_t fileLength) {
    return header.count > 0 && header.count <= kLutFileMaxEntries &&
           fileLength >= LutFileLength(header.count);
}

inline bool HasLutFileMagic(std::span<const uint8_t> bytes) {
    return bytes.size() >= sizeof kLutFileMagic &&
           std::memcmp(bytes.data(), kLutFileMagic, sizeof kLutFileMagic) == 0;
}

inline void WriteLutFileHeader(CByteWriter& bytes, const CLutFileHeader& header) {
    bytes.Bytes(kLutFileMagic, sizeof kLutFileMagic);
    bytes.LE32(static_cast<uint32_t>(header.count));
    bytes.LE16(static_cast<uint16_t>(header.firstInput));
    bytes.LE16(static_cast<uint16_t>(header.lastInput));
}

}  // namespace kavrel
