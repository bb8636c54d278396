// The host's own file handling: whole files in and out, outputs replaced only when complete, and
// readers of the library's LUT and offset files for the host's reports and pictures.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace host {

// The most any input file of the host can need: a bitmap (an image of 15 MB, a scan of up to
// 256 MB of pixels), a LUT file, an offset file (the library takes at most 4096 x 4096 samples),
// a readings file.
constexpr uint64_t kMaxBitmapFileBytes = (256ull << 20) + (1 << 16);
constexpr uint64_t kMaxLutFileBytes = 16 + 2 * 65536;
constexpr uint64_t kMaxOffsetFileBytes = 18 + 2ull * 4096 * 4096;
constexpr uint64_t kMaxReadingsFileBytes = 1 << 20;

// The whole file; throws CHostError naming the file when it cannot be read, is no regular file
// (a FIFO or a device is never waited on) or is larger than maxBytes.
std::vector<uint8_t> ReadWholeFile(const std::string& path,
                                   uint64_t maxBytes = kMaxBitmapFileBytes);
// The whole file, or nothing when it does not exist or cannot be read.
std::optional<std::vector<uint8_t>> TryReadWholeFile(const std::string& path,
                                                     uint64_t maxBytes = kMaxBitmapFileBytes);
bool FileExists(const std::string& path);

// The path with symbolic links followed to the file they name (which need not exist).
std::string ResolveLinks(const std::string& path);
// A name beside path made of its file name and the suffix, shortened where a long file name
// would leave no room for the suffix.
std::string BesideFile(const std::string& path, const std::string& suffix);

// Writes the bytes to a new temporary file beside path and renames it over path only when every
// byte is written, so that a failure leaves no half-written output. A link is followed, and the
// file it names replaced. Throws CHostError naming the file on failure.
void WriteFileSafely(const std::string& path, const std::vector<uint8_t>& bytes);
// Throws CHostError naming the file when an output could not be written there: its folder is
// missing or cannot be written, or the name is taken by a folder, a FIFO, a device or a
// write-protected file.
void CheckWritable(const std::string& path, const std::string& what);

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
// The library loads a table of 1 to this many entries; from any other LUT file it takes its
// default table instead.
constexpr size_t kLibraryMaxLutEntries = 256;
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
