#include "files/Files.h"

#include <cstring>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "common/Errors.h"
#include "files/Paths.h"
#include "files/Platform.h"
#include "platform/File.h"
#include "platform/SafeSave.h"

namespace fs = std::filesystem;

namespace host {

namespace {

// The header that was read from the start of a file; throws CHostError naming the file when its
// bytes ended within it.
template <typename Header>
Header RequireHeader(const std::string& path, const std::optional<Header>& header,
                     const std::string& kind, size_t size) {
    if (!header)
        throw CHostError(path + ": not " + kind + " (shorter than the " + std::to_string(size) +
                         " bytes of its header)");
    return *header;
}

// Refuses a file that is plainly of another kind than the one expected: the library reads LUT and
// offset files without looking at the names at their start, so that a LUT file given as an offset
// file would otherwise be reported with the sizes its bytes happen to make.
void RefuseOtherKind(const std::string& path, const std::vector<uint8_t>& bytes,
                     const std::string& expected) {
    auto starts = [&](const char* magic, size_t size) {
        return bytes.size() >= size && std::memcmp(bytes.data(), magic, size) == 0;
    };
    std::string kind;
    if (starts(kavrel::kLutFileMagic, sizeof kavrel::kLutFileMagic))
        kind = "a LUT file (--lut)";
    else if (starts(kavrel::kOffsetFileMagic, sizeof kavrel::kOffsetFileMagic))
        kind = "an offset file (--offset)";
    else if (starts("BM", 2))
        kind = "a bitmap";
    if (!kind.empty() && kind.compare(0, expected.size(), expected) != 0)
        throw CHostError(path + ": not " + expected + ", but " + kind);
}

// The count signed 16-bit values that follow a header (the file holds them all).
std::vector<int16_t> ReadValues(kavrel::CByteReader& reader, int32_t count) {
    std::vector<int16_t> values(static_cast<size_t>(count));
    for (int16_t& value : values) value = static_cast<int16_t>(reader.LE16());
    return values;
}

}  // namespace

std::optional<std::vector<uint8_t>> TryReadWholeFile(const std::string& path, uint64_t maxBytes) {
    std::vector<uint8_t> bytes;
    if (ReadRegularFile(path, maxBytes, bytes) != CReadResult::Done) return std::nullopt;
    return bytes;
}

std::vector<uint8_t> ReadWholeFile(const std::string& path, uint64_t maxBytes) {
    std::vector<uint8_t> bytes;
    switch (ReadRegularFile(path, maxBytes, bytes)) {
        case CReadResult::Done:
            return bytes;
        case CReadResult::Missing:
            throw CHostError(path + ": no such file");
        case CReadResult::NotRegular: {
            std::error_code error;
            if (fs::is_directory(FsPath(path), error))
                throw CHostError(path + ": is a folder, not a file");
            throw CHostError(path + ": is no regular file (a FIFO or a device?)");
        }
        case CReadResult::TooLarge:
            throw CHostError(path + ": larger than such a file can be (more than " +
                             std::to_string(maxBytes) + " bytes)");
        case CReadResult::InUse:
            throw CHostError(path + ": " + kInUse);
        case CReadResult::NameTooLong:
            throw CHostError(path + ": " + PathTooLong(path));
        case CReadResult::Unreadable:
            break;
    }
    throw CHostError(path + ": cannot be read");
}

bool FileExists(const std::string& path) {
    std::error_code error;
    return fs::is_regular_file(FsPath(path), error);
}

std::string ResolveLinks(const std::string& path) {
    fs::path current = FsPath(path);
    // The system's own limit on links in a row; a loop of links ends here and fails later.
    for (int hop = 0; hop < 40; ++hop) {
        std::error_code error;
        if (!fs::is_symlink(fs::symlink_status(current, error))) break;
        const fs::path target = fs::read_symlink(current, error);
        if (error) break;
        current = target.is_absolute() ? target : current.parent_path() / target;
    }
    return NarrowPath(current);
}

std::vector<std::string> FolderNames(const std::string& folder) {
    return platform::ListFolder(folder);
}

bool IsPathTooLong(const std::string& path) {
    // Windows' extended paths end at 32767 characters, Linux's at 4096 bytes.
#ifdef _WIN32
    constexpr size_t kMaxPath = 32767;
#else
    constexpr size_t kMaxPath = 4095;
#endif
    constexpr size_t kMaxName = 255;
    if (path.size() > kMaxPath) return true;
    size_t start = 0;
    for (;;) {
        const size_t end = path.find_first_of(platform::PathSeparators(), start);
        if ((end == std::string::npos ? path.size() : end) - start > kMaxName) return true;
        if (end == std::string::npos) return false;
        start = end + 1;
    }
}

std::string PathTooLong(const std::string& path) {
    return "the path is too long for the system (" + std::to_string(path.size()) +
           " characters; a file or folder name may have at most 255)";
}

std::string BesideFile(const std::string& path, const std::string& suffix) {
    const size_t slash = path.find_last_of("/\\");
    const size_t start = slash == std::string::npos ? 0 : slash + 1;
    // Room for the suffix within the 255 bytes of a file name.
    if (path.size() - start + suffix.size() > 235)
        return path.substr(0, start + 200) + "~" + suffix;
    return path + suffix;
}

CSaveResult ReplaceFileDurably(const std::string& target, const std::vector<uint8_t>& bytes) {
    switch (kavrel::SaveFile(target, [&](platform::CFile& file) {
        return file.Write(bytes.data(), bytes.size());
    })) {
        case kavrel::SaveResult::Saved:
            return CSaveResult::Saved;
        case kavrel::SaveResult::NotFlushed:
            return CSaveResult::NotFlushed;
        case kavrel::SaveResult::Failed:
            break;
    }
    return CSaveResult::Failed;
}

std::vector<std::string> LeftoverSaves(const std::string& path) {
    return kavrel::LeftoverTemporaries(path);
}

std::string NotFlushedReason() {
    return ": written, but its folder could not be flushed to the device (an I/O error?), so that "
           "a power loss may still undo it";
}

void WriteFileSafely(const std::string& path, const std::vector<uint8_t>& bytes) {
    const std::string target = ResolveLinks(path);
    std::error_code error;
    if (fs::is_directory(FsPath(target), error))
        throw CHostError(path + ": is a folder, not a file");
    if (fs::exists(FsPath(target), error) && !fs::is_regular_file(FsPath(target), error))
        throw CHostError(path + ": is no regular file (a FIFO or a device?)");
    const CSaveResult saved = ReplaceFileDurably(target, bytes);
    if (saved == CSaveResult::Failed)
        throw CHostError(path + ": " + (IsInUse(target) ? kInUse : "cannot be written"));
    if (saved == CSaveResult::NotFlushed) throw CHostError(path + NotFlushedReason());
}

void CheckWritable(const std::string& path, const std::string& what) {
    if (path.empty()) throw CUsageError(what + ": the file name is empty");
    const std::string target = ResolveLinks(path);
    const fs::path folder = FsPath(target).parent_path();
    std::error_code error;
    if (!folder.empty() && !fs::is_directory(folder, error))
        throw CHostError(path + ": the folder " + NarrowPath(folder) + " does not exist (" + what +
                         ")");
    if (fs::is_directory(FsPath(target), error))
        throw CHostError(path + ": is a folder, not a file (" + what + ")");
    if (fs::exists(FsPath(target), error) && !fs::is_regular_file(FsPath(target), error))
        throw CHostError(path + ": is no regular file (" + what + ")");
    if (IsPathTooLong(target))
        throw CHostError(path + ": " + PathTooLong(path) + " (" + what + ")");
    if (IsWriteProtected(target)) throw CHostError(path + ": is write-protected (" + what + ")");
    if (IsInUse(target)) throw CHostError(path + ": " + kInUse + " (" + what + ")");
    if (!CanCreateFileBeside(target))
        throw CHostError(path + ": no file can be created in its folder (" + what + ")");
}

void MakeFolder(const std::string& path) {
    std::error_code error;
    const fs::path folder = FsPath(path);
    if (fs::is_directory(folder, error)) return;
    if (fs::exists(folder, error)) throw CHostError(path + ": is a file, not a folder");
    fs::create_directories(folder, error);
    if (error || !fs::is_directory(folder, error))
        throw CHostError(path + ": cannot create this folder (" +
                         (error ? error.message() : "a file of this name is in the way") + ")");
}

CLutTable ParseLutFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    RefuseOtherKind(path, bytes, "a LUT file");
    kavrel::CByteReader reader(bytes);
    const kavrel::CLutFileHeader header = RequireHeader(path, kavrel::ReadLutFileHeader(reader),
                                                        "a LUT file", kavrel::kLutFileHeaderSize);
    if (header.count <= 0 ||
        static_cast<int64_t>(bytes.size()) < kavrel::LutFileLength(header.count))
        throw CHostError(path + ": LUT file with a wrong entry count (" +
                         std::to_string(header.count) + ") or cut short");
    CLutTable table;
    table.firstInput = header.firstInput;
    table.lastInput = header.lastInput;
    table.entries = ReadValues(reader, header.count);
    return table;
}

CLutTable DefaultLutTable() {
    CLutTable table;
    table.firstInput = 0;
    table.lastInput = 255;
    table.entries.resize(256);
    for (int i = 0; i < 256; ++i)
        table.entries[255 - i] = static_cast<int16_t>(i * kavrel::kLutDefaultTop / 255);
    return table;
}

std::string LutSummary(const CLutTable& table) {
    std::string text;
    for (int input : {0, 64, 128, 192, 224, 255})
        if (input < static_cast<int>(table.entries.size()))
            text += (text.empty() ? "" : ", ") + std::to_string(input) + " -> " +
                    std::to_string(table.entries[input]);
    return text;
}

std::vector<uint8_t> LutFileBytes(const CLutTable& table) {
    kavrel::CByteWriter bytes;
    kavrel::WriteLutFileHeader(
        bytes, {static_cast<int32_t>(table.entries.size()), static_cast<int16_t>(table.firstInput),
                static_cast<int16_t>(table.lastInput)});
    for (int16_t entry : table.entries) bytes.LE16(static_cast<uint16_t>(entry));
    return bytes.Data();
}

COffsetMap ParseOffsetFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    RefuseOtherKind(path, bytes, "an offset file");
    kavrel::CByteReader reader(bytes);
    const kavrel::COffsetFileHeader header =
        RequireHeader(path, kavrel::ReadOffsetFileHeader(reader), "an offset file",
                      kavrel::kOffsetFileHeaderSize);
    if (!kavrel::HasConsistentSizes(header))
        throw CHostError(path + ": offset file whose size (" + std::to_string(header.cols) + " x " +
                         std::to_string(header.rows) + ") does not match its sample count " +
                         std::to_string(header.count));
    if (header.count > kavrel::kOffsetFileMaxSamples)
        throw CHostError(path + ": offset file of " + std::to_string(header.count) +
                         " samples; the library takes at most " +
                         std::to_string(kavrel::kOffsetFileMaxSamples));
    if (!kavrel::IsUsableOffsetFile(header, static_cast<int64_t>(bytes.size())))
        throw CHostError(path + ": offset file cut short");
    COffsetMap map;
    map.width = header.cols;
    map.height = header.rows;
    map.samples = ReadValues(reader, header.count);
    return map;
}

std::vector<uint8_t> OffsetFileBytes(const COffsetMap& map) {
    kavrel::CByteWriter bytes;
    kavrel::WriteOffsetFileHeader(
        bytes, {static_cast<int32_t>(map.samples.size()), map.width, map.height});
    for (int16_t sample : map.samples) bytes.LE16(static_cast<uint16_t>(sample));
    return bytes.Data();
}

}  // namespace host
