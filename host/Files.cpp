#include "Files.h"

#include <cstring>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "Errors.h"
#include "Platform.h"

namespace fs = std::filesystem;

namespace host {

namespace {

constexpr char kLutMagic[8] = {'L', 'U', 'T', 'F', 'I', 'L', 'E', '\0'};
constexpr char kOffsetMagic[6] = {'F', 'R', 'A', 'M', 'E', '\0'};

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
            if (fs::is_directory(fs::path(path), error))
                throw CHostError(path + ": is a folder, not a file");
            throw CHostError(path + ": is no regular file (a FIFO or a device?)");
        }
        case CReadResult::TooLarge:
            throw CHostError(path + ": larger than such a file can be (more than " +
                             std::to_string(maxBytes) + " bytes)");
        case CReadResult::Unreadable:
            break;
    }
    throw CHostError(path + ": cannot be read");
}

bool FileExists(const std::string& path) {
    std::error_code error;
    return fs::is_regular_file(fs::path(path), error);
}

std::string ResolveLinks(const std::string& path) {
    fs::path current(path);
    // The system's own limit on links in a row; a loop of links ends here and fails later.
    for (int hop = 0; hop < 40; ++hop) {
        std::error_code error;
        if (!fs::is_symlink(fs::symlink_status(current, error))) break;
        const fs::path target = fs::read_symlink(current, error);
        if (error) break;
        current = target.is_absolute() ? target : current.parent_path() / target;
    }
    return current.string();
}

std::string BesideFile(const std::string& path, const std::string& suffix) {
    const size_t slash = path.find_last_of("/\\");
    const size_t start = slash == std::string::npos ? 0 : slash + 1;
    // Room for the suffix within the 255 bytes of a file name.
    if (path.size() - start + suffix.size() > 235)
        return path.substr(0, start + 200) + "~" + suffix;
    return path + suffix;
}

void WriteFileSafely(const std::string& path, const std::vector<uint8_t>& bytes) {
    const std::string target = ResolveLinks(path);
    std::error_code error;
    if (fs::is_directory(fs::path(target), error))
        throw CHostError(path + ": is a folder, not a file");
    if (fs::exists(fs::path(target), error) && !fs::is_regular_file(fs::path(target), error))
        throw CHostError(path + ": is no regular file (a FIFO or a device?)");
    if (!ReplaceFileDurably(target, bytes)) throw CHostError(path + ": cannot be written");
}

void CheckWritable(const std::string& path, const std::string& what) {
    if (path.empty()) throw CUsageError(what + ": the file name is empty");
    const std::string target = ResolveLinks(path);
    const fs::path folder = fs::path(target).parent_path();
    std::error_code error;
    if (!folder.empty() && !fs::is_directory(folder, error))
        throw CHostError(path + ": the folder " + folder.string() + " does not exist (" + what +
                         ")");
    if (fs::is_directory(fs::path(target), error))
        throw CHostError(path + ": is a folder, not a file (" + what + ")");
    if (fs::exists(fs::path(target), error) && !fs::is_regular_file(fs::path(target), error))
        throw CHostError(path + ": is no regular file (" + what + ")");
    if (IsWriteProtected(target)) throw CHostError(path + ": is write-protected (" + what + ")");
    if (!CanCreateFileBeside(target))
        throw CHostError(path + ": no file can be created in its folder (" + what + ")");
}

void MakeFolder(const std::string& path) {
    std::error_code error;
    const fs::path folder(path);
    if (fs::is_directory(folder, error)) return;
    fs::create_directories(folder, error);
    if (error || !fs::is_directory(folder, error))
        throw CHostError(path + ": cannot create this folder");
}

void PutLE16(std::vector<uint8_t>& out, uint32_t value) {
    out.push_back(static_cast<uint8_t>(value));
    out.push_back(static_cast<uint8_t>(value >> 8));
}

void PutLE32(std::vector<uint8_t>& out, uint32_t value) {
    PutLE16(out, value & 0xFFFFu);
    PutLE16(out, value >> 16);
}

CLutTable ParseLutFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    if (bytes.size() < 16 || std::memcmp(bytes.data(), kLutMagic, sizeof kLutMagic) != 0)
        throw CHostError(path + ": not a LUT file (it must begin with \"LUTFILE\")");
    const int32_t count = static_cast<int32_t>(LE32(&bytes[8]));
    if (count <= 0 || count > 65536 || bytes.size() < 16 + 2 * static_cast<size_t>(count))
        throw CHostError(path + ": LUT file with a wrong entry count (" + std::to_string(count) +
                         ") or cut short");
    CLutTable table;
    table.firstInput = static_cast<int16_t>(LE16(&bytes[12]));
    table.lastInput = static_cast<int16_t>(LE16(&bytes[14]));
    table.entries.resize(static_cast<size_t>(count));
    for (int32_t i = 0; i < count; ++i)
        table.entries[i] = static_cast<int16_t>(LE16(&bytes[16 + 2 * static_cast<size_t>(i)]));
    return table;
}

CLutTable DefaultLutTable() {
    CLutTable table;
    table.firstInput = 0;
    table.lastInput = 255;
    table.entries.resize(256);
    for (int i = 0; i < 256; ++i) table.entries[255 - i] = static_cast<int16_t>(i * 4095 / 255);
    return table;
}

std::vector<uint8_t> LutFileBytes(const CLutTable& table) {
    std::vector<uint8_t> bytes(kLutMagic, kLutMagic + sizeof kLutMagic);
    PutLE32(bytes, static_cast<uint32_t>(table.entries.size()));
    PutLE16(bytes, static_cast<uint16_t>(table.firstInput));
    PutLE16(bytes, static_cast<uint16_t>(table.lastInput));
    for (int16_t entry : table.entries) PutLE16(bytes, static_cast<uint16_t>(entry));
    return bytes;
}

COffsetMap ParseOffsetFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    if (bytes.size() < 18 || std::memcmp(bytes.data(), kOffsetMagic, sizeof kOffsetMagic) != 0)
        throw CHostError(path + ": not an offset file (it must begin with \"FRAME\")");
    const int32_t count = static_cast<int32_t>(LE32(&bytes[6]));
    COffsetMap map;
    map.width = static_cast<int32_t>(LE32(&bytes[10]));
    map.height = static_cast<int32_t>(LE32(&bytes[14]));
    if (map.width <= 0 || map.height <= 0 || map.width > 65536 || map.height > 65536 ||
        static_cast<int64_t>(map.width) * map.height != count)
        throw CHostError(path + ": offset file whose size (" + std::to_string(map.width) + " x " +
                         std::to_string(map.height) + ") does not match its sample count " +
                         std::to_string(count));
    if (bytes.size() < 18 + 2 * static_cast<size_t>(count))
        throw CHostError(path + ": offset file cut short");
    map.samples.resize(static_cast<size_t>(count));
    for (size_t i = 0; i < map.samples.size(); ++i)
        map.samples[i] = static_cast<int16_t>(LE16(&bytes[18 + 2 * i]));
    return map;
}

std::vector<uint8_t> OffsetFileBytes(const COffsetMap& map) {
    std::vector<uint8_t> bytes(kOffsetMagic, kOffsetMagic + sizeof kOffsetMagic);
    PutLE32(bytes, static_cast<uint32_t>(map.samples.size()));
    PutLE32(bytes, static_cast<uint32_t>(map.width));
    PutLE32(bytes, static_cast<uint32_t>(map.height));
    bytes.reserve(bytes.size() + 2 * map.samples.size());
    for (int16_t sample : map.samples) PutLE16(bytes, static_cast<uint16_t>(sample));
    return bytes;
}

}  // namespace host
