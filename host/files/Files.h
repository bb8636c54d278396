// The host's own file handling: whole files in and out, outputs replaced only when complete, and
// readers of the library's LUT and offset files for the host's reports and pictures.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "base/LutFile.h"
#include "base/OffsetFile.h"

namespace host {

// The most any input file of the host can need: a bitmap (an image of 15 MB, a scan of up to
// 256 MB of pixels), a LUT file, an offset file (the library takes at most 4096 x 4096 samples),
// a readings file.
constexpr uint64_t kMaxBitmapFileBytes = (256ull << 20) + (1 << 16);
constexpr uint64_t kMaxLutFileBytes = 16 + 2 * 65536;
constexpr uint64_t kMaxOffsetFileBytes = kavrel::OffsetFileLength(kavrel::kOffsetFileMaxSamples);
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
// The names in a folder (without "." and ".."); empty when it cannot be read. Unlike a
// std::filesystem::directory_iterator, this reads folders of any path length on Windows too.
std::vector<std::string> FolderNames(const std::string& folder);
// True when the system cannot take the path: one of its names is longer than the 255 characters
// a file system allows, or the whole longer than the system's limit.
bool IsPathTooLong(const std::string& path);
// Why the system cannot take the path: too long as a whole or in one of its names.
std::string PathTooLong(const std::string& path);
// A name beside path made of its file name and the suffix, shortened where a long file name
// would leave no room for the suffix.
std::string BesideFile(const std::string& path, const std::string& suffix);

// Writes the bytes through the library's safe save: a new temporary file in the folder of target
// (created exclusively, never through a link), moved over target only when every byte is on the
// device, the folder flushed (or the move written through) afterwards. A replaced file's
// permission bits (and owner, where allowed) stay; a folder, a FIFO, a device or a
// write-protected file is never replaced. Failed: nothing changed. NotFlushed: the new file is in
// place, but the folder could not be flushed (an I/O error), so that a power loss may undo it.
enum class CSaveResult { Failed, Saved, NotFlushed };
CSaveResult ReplaceFileDurably(const std::string& target, const std::vector<uint8_t>& bytes);
// The temporary files that saves of path left behind when they were killed or lost their power.
std::vector<std::string> LeftoverSaves(const std::string& path);
// What a save that ended NotFlushed says after the path.
std::string NotFlushedReason();

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

// A LUT file (base/LutFile.h), read by the library's rules: the name at its start is not checked.
struct CLutTable {
    int32_t firstInput = 0;
    int32_t lastInput = 0;
    std::vector<int16_t> entries;
};
// The library loads a table of 1 to this many entries; from any other LUT file it takes its
// default table instead.
constexpr size_t kLibraryMaxLutEntries = kavrel::kLutFileMaxEntries;
// Throws CHostError naming the file when it is not a complete LUT file. A table of more entries
// than the library takes is returned, so that the caller can say what the library does with it.
CLutTable ParseLutFile(const std::string& path, const std::vector<uint8_t>& bytes);
// The table the library uses when the LUT file cannot be opened: 4095 at input 0, falling in a
// straight line to 0 at input 255.
CLutTable DefaultLutTable();
std::vector<uint8_t> LutFileBytes(const CLutTable& table);
// The entries at inputs 0, 64, 128, 192, 224 and 255 ("0 -> 4095, 64 -> 1846, ..."), for reports.
std::string LutSummary(const CLutTable& table);

// An offset file (base/OffsetFile.h), read by the library's rules: the name at its start is not
// checked, and a map of no samples is one.
struct COffsetMap {
    int32_t width = 0;
    int32_t height = 0;
    std::vector<int16_t> samples;
    int16_t At(int32_t x, int32_t y) const { return samples[static_cast<size_t>(y) * width + x]; }
};
// Throws CHostError naming the file when it is not an offset file the library loads.
COffsetMap ParseOffsetFile(const std::string& path, const std::vector<uint8_t>& bytes);
std::vector<uint8_t> OffsetFileBytes(const COffsetMap& map);

}  // namespace host
