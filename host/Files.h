// The host's own file handling: whole files in and out, outputs replaced only when complete, and
// readers of the library's LUT and offset files for the host's reports and pictures.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace host {

// The whole file; throws CHostError naming the file when it cannot be read.
std::vector<uint8_t> ReadWholeFile(const std::string& path);
// The whole file, or nothing when it does not exist or cannot be read.
std::optional<std::vector<uint8_t>> TryReadWholeFile(const std::string& path);
bool FileExists(const std::string& path);

// Writes the bytes to a temporary file beside path and renames it over path only when every
// byte is written, so that a failure leaves no half-written output. Throws CHostError naming
// the file on failure.
void WriteFileSafely(const std::string& path, const std::vector<uint8_t>& bytes);

// Creates the folder (and its parents) when it does not exist; throws CHostError on failure.
void MakeFolder(const std::string& path);

// Little-endian numbers.
inline uint16_t LE16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
inline uint32_t LE32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
void PutLE16(std::vector<uint8_t>& out, uint32_t value);
void PutLE32(std::vector<uint8_t>& out, uint32_t value);

// A LUT file: "LUTFILE" and a NUL, entry count (32-bit), lowest and highest input (16-bit each),
// then the signed 16-bit entries.
struct CLutTable {
    int32_t firstInput = 0;
    int32_t lastInput = 0;
    std::vector<int16_t> entries;
};
// Throws CHostError naming the file when it is not a complete LUT file.
CLutTable ParseLutFile(const std::string& path, const std::vector<uint8_t>& bytes);
// The table the library uses when the LUT file cannot be opened: 4095 at input 0, falling in a
// straight line to 0 at input 255.
CLutTable DefaultLutTable();
std::vector<uint8_t> LutFileBytes(const CLutTable& table);

// An offset file: "FRAME" and a NUL, sample count, width, height (signed 32-bit each), then the
// signed 16-bit samples row by row.
struct COffsetMap {
    int32_t width = 0;
    int32_t height = 0;
    std::vector<int16_t> samples;
    int16_t At(int32_t x, int32_t y) const { return samples[static_cast<size_t>(y) * width + x]; }
};
// Throws CHostError naming the file when it is not a complete offset file.
COffsetMap ParseOffsetFile(const std::string& path, const std::vector<uint8_t>& bytes);
std::vector<uint8_t> OffsetFileBytes(const COffsetMap& map);

}  // namespace host
