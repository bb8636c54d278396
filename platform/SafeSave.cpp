#include "platform/SafeSave.h"

#include <atomic>
#include <chrono>

#include "platform/File.h"

namespace kavrel {

namespace {

// Room for the longest suffix and the unique part of a temporary name within the 255 bytes that
// common file systems allow for a name.
constexpr size_t kMaxNameLength = 255;
constexpr size_t kShortenedNameLength = 200;
constexpr const char* kTemporarySuffix = ".kavrel-new";
constexpr size_t kUniquePartLength = 9;  // "-" and eight hex digits

std::string Hex(uint32_t value, int digits) {
    static const char kDigits[] = "0123456789abcdef";
    std::string text(static_cast<size_t>(digits), '0');
    for (int i = digits - 1; i >= 0; --i, value >>= 4)
        text[static_cast<size_t>(i)] = kDigits[value & 15];
    return text;
}

uint32_t Fnv1a(const std::string& text) {
    uint32_t hash = 2166136261u;
    for (const char c : text) hash = (hash ^ static_cast<uint8_t>(c)) * 16777619u;
    return hash;
}

size_t NameStart(const std::string& path) {
    const size_t separator = path.find_last_of(platform::PathSeparators());
    return separator == std::string::npos ? 0 : separator + 1;
}

// A name that no other save is likely to pick at the same moment; exclusive creation catches the
// rest.
std::string UniquePart() {
    static std::atomic<uint32_t> counter{0};
    const uint64_t now =
        static_cast<uint64_t>(std::chrono::high_resolution_clock::now().time_since_epoch().count());
    const uint32_t mixed = Fnv1a(std::to_string(now) + "/" + std::to_string(counter++) + "/" +
                                 std::to_string(reinterpret_cast<uintptr_t>(&counter)));
    std::string part(1, '-');
    part += Hex(mixed ^ static_cast<uint32_t>(now >> 7), 8);
    return part;
}

bool CreateTemporaryBeside(const std::string& path, platform::CFile& file, std::string& temporary) {
    const std::string prefix = TemporaryPrefixFor(path);
    for (int attempt = 0; attempt < 64; ++attempt) {
        temporary = prefix + UniquePart();
        if (file.CreateNew(temporary)) return true;
        // Only a name already taken is worth another try; anything else (no permission, a full
        // disk, a missing folder) fails the same way again.
        if (!platform::NameExists(temporary)) return false;
    }
    return false;
}

}  // namespace

std::string CompanionPath(const std::string& path, const std::string& suffix) {
    const size_t start = NameStart(path);
    const std::string name = path.substr(start);
    if (name.size() + std::string(kTemporarySuffix).size() + kUniquePartLength <= kMaxNameLength)
        return path + suffix;
    return path.substr(0, start) + name.substr(0, kShortenedNameLength) + "~" +
           Hex(Fnv1a(name), 8) + suffix;
}

std::string TemporaryPrefixFor(const std::string& path) {
    return CompanionPath(path, kTemporarySuffix);
}

std::string LockPathFor(const std::string& path) { return CompanionPath(path, ".kavrel-lock"); }

std::vector<std::string> LeftoverTemporaries(const std::string& path) {
    const std::string prefix = TemporaryPrefixFor(path);
    const size_t start = NameStart(prefix);
    const std::string folder = start == 0 ? std::string(".") : prefix.substr(0, start);
    const std::string namePrefix = prefix.substr(start);
    std::vector<std::string> found;
    for (const std::string& name : platform::ListFolder(folder)) {
        const bool older = name == namePrefix;  // the fixed name of earlier versions
        const bool unique = name.size() == namePrefix.size() + kUniquePartLength &&
                            name.compare(0, namePrefix.size(), namePrefix) == 0 &&
                            name[namePrefix.size()] == '-';
        if (older || unique) found.push_back(prefix.substr(0, start) + name);
    }
    return found;
}

SaveResult SaveFile(const std::string& path, const std::function<bool(platform::CFile&)>& writer) {
    if (path.empty()) return SaveResult::Failed;
    const std::string target = platform::ResolveLinks(path);
    const platform::FileKind kind = platform::ProbeFile(target);
    if (kind == platform::FileKind::Other) return SaveResult::Failed;
    const bool replacing = kind != platform::FileKind::Missing;
    if (replacing && platform::IsWriteProtected(target)) return SaveResult::Failed;
    platform::CFile file;
    std::string temporary;
    if (!CreateTemporaryBeside(target, file, temporary)) return SaveResult::Failed;
    bool complete = false;
    try {
        complete = writer(file);
    } catch (...) {
        // The exception goes on to the caller, the half-written file does not stay behind.
        file.Close();
        platform::RemoveFile(temporary);
        throw;
    }
    if (replacing) file.TakePermissionsOf(target);
    complete = file.Close() && complete;
    const platform::MoveResult moved =
        complete ? platform::MoveFileOver(temporary, target) : platform::MoveResult::Failed;
    if (moved == platform::MoveResult::Durable) return SaveResult::Saved;
    if (moved == platform::MoveResult::NotFlushed) return SaveResult::NotFlushed;
    platform::RemoveFile(temporary);
    return SaveResult::Failed;
}

bool SaveFileSafely(const std::string& path, const std::function<bool(platform::CFile&)>& writer) {
    return SaveFile(path, writer) == SaveResult::Saved;
}

}  // namespace kavrel
