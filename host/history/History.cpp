#include "history/History.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>

#include "common/Errors.h"
#include "files/Files.h"
#include "files/Paths.h"

namespace fs = std::filesystem;

namespace host {

namespace {

// "20261210-134507-123": sorts as the times do.
constexpr size_t kStampLength = 19;

std::string Stamp(std::chrono::system_clock::time_point when) {
    const auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(when.time_since_epoch()).count();
    const std::time_t seconds = static_cast<std::time_t>(ms / 1000);
    const std::tm* utc = std::gmtime(&seconds);
    char text[64] = "";
    if (utc != nullptr)
        std::snprintf(text, sizeof text, "%04d%02d%02d-%02d%02d%02d-%03d", utc->tm_year + 1900,
                      utc->tm_mon + 1, utc->tm_mday, utc->tm_hour, utc->tm_min, utc->tm_sec,
                      static_cast<int>(ms % 1000));
    return text;
}

bool IsStamp(const std::string& name) {
    if (name.size() < kStampLength) return false;
    for (size_t i = 0; i < kStampLength; ++i) {
        const bool dash = i == 8 || i == 15;
        if (dash ? name[i] != '-' : (name[i] < '0' || name[i] > '9')) return false;
    }
    return true;
}

// "2026-12-10 13:45:07.123 UTC"
std::string Readable(const std::string& stamp) {
    return stamp.substr(0, 4) + "-" + stamp.substr(4, 2) + "-" + stamp.substr(6, 2) + " " +
           stamp.substr(9, 2) + ":" + stamp.substr(11, 2) + ":" + stamp.substr(13, 2) + "." +
           stamp.substr(16, 3) + " UTC";
}

uint32_t Fnv1a(const std::string& text) {
    uint32_t hash = 2166136261u;
    for (const char c : text) hash = (hash ^ static_cast<uint8_t>(c)) * 16777619u;
    return hash;
}

}  // namespace

std::string LibraryLockPath(const std::string& target) {
    const size_t slash = target.find_last_of("/\\");
    const size_t start = slash == std::string::npos ? 0 : slash + 1;
    const std::string name = target.substr(start);
    // The library's rule: a name too long for its temporary names is shortened and marked with
    // a hash of itself.
    if (name.size() + 20 <= 255) return target + ".kavrel-lock";
    char hash[16];
    std::snprintf(hash, sizeof hash, "%08x", static_cast<unsigned>(Fnv1a(name)));
    return target.substr(0, start) + name.substr(0, 200) + "~" + hash + ".kavrel-lock";
}

CFileState CFileState::Of(const std::string& path) {
    CFileState state;
    state.bytes = FileExists(path) ? TryReadWholeFile(path) : std::nullopt;
    std::error_code error;
    if (state.bytes) state.time = fs::last_write_time(FsPath(path), error);
    return state;
}

std::optional<std::vector<uint8_t>> CFileState::NewContents(const std::string& path) const {
    CFileState now = Of(path);
    if (now.bytes && (now.bytes != bytes || now.time != time)) return std::move(now.bytes);
    return std::nullopt;
}

CHistory::CHistory(const std::string& path) {
    const std::string target = ResolveLinks(path);
    m_strFolder = NativePath(BesideFile(target, ".history"));
    m_strExtension = NarrowPath(FsPath(target).extension());
}

std::vector<CVersion> CHistory::Versions() const {
    std::vector<CVersion> versions;
    std::error_code error;
    for (const std::string& name : FolderNames(m_strFolder)) {
        const std::string path = PathInFolder(m_strFolder, name);
        if (!IsVersionName(name) || !fs::is_regular_file(FsPath(path), error)) continue;
        CVersion version;
        version.path = path;
        version.time = Readable(name);
        version.size = static_cast<uint64_t>(fs::file_size(FsPath(path), error));
        versions.push_back(version);
    }
    std::sort(versions.begin(), versions.end(), [](const CVersion& a, const CVersion& b) {
        return FsPath(a.path).filename() > FsPath(b.path).filename();
    });
    return versions;
}

std::string CHistory::Keep(const std::vector<uint8_t>& bytes) {
    std::error_code error;
    fs::create_directory(FsPath(m_strFolder), error);
    if (!fs::is_directory(FsPath(m_strFolder), error))
        throw CHostError(m_strFolder + ": cannot create this folder for the earlier versions");
    // Two versions kept within the same millisecond get successive times.
    auto when = std::chrono::system_clock::now();
    std::string path;
    for (;;) {
        path = PathInFolder(m_strFolder, Stamp(when) + m_strExtension);
        if (!fs::exists(fs::symlink_status(FsPath(path), error))) break;
        when += std::chrono::milliseconds(1);
    }
    const CSaveResult saved = ReplaceFileDurably(path, bytes);
    if (saved == CSaveResult::NotFlushed) {
        // Not kept for sure, so not kept at all: the calibration stops before the file changes.
        fs::remove(FsPath(path), error);
        throw CHostError(path + NotFlushedReason() + "; nothing else was written");
    }
    if (saved == CSaveResult::Failed)
        throw CHostError(path + ": the earlier version cannot be kept here");
    return path;
}

bool CHistory::IsVersionName(const std::string& name) const {
    return IsStamp(name) && name.size() == kStampLength + m_strExtension.size() &&
           name.compare(kStampLength, std::string::npos, m_strExtension) == 0;
}

void CHistory::RemoveLeftovers() {
    std::error_code error;
    std::vector<fs::path> leftovers;
    for (const std::string& name : FolderNames(m_strFolder)) {
        const size_t length = kStampLength + m_strExtension.size();
        if (name.size() <= length || !IsVersionName(name.substr(0, length))) continue;
        const std::string path = PathInFolder(m_strFolder, name);
        for (const std::string& temporary :
             LeftoverSaves(PathInFolder(m_strFolder, name.substr(0, length))))
            if (FsPath(temporary).filename() == FsPath(path).filename())
                leftovers.push_back(FsPath(path));
    }
    for (const std::string& temporary : LeftoverSaves(CCalibrationLog::PathIn(m_strFolder)))
        leftovers.push_back(FsPath(temporary));
    for (const fs::path& leftover : leftovers) fs::remove(leftover, error);
}

std::string CHistory::Now() { return Readable(Stamp(std::chrono::system_clock::now())); }

void CHistory::RemoveIfEmpty() {
    std::error_code error;
    if (fs::is_empty(FsPath(m_strFolder), error) && !error) fs::remove(FsPath(m_strFolder), error);
}

void CHistory::RemoveUnfinished(const std::string& file, const std::vector<uint8_t>& current) {
    const std::vector<CVersion> versions = Versions();
    if (versions.empty() || versions[0].size != current.size()) return;
    std::error_code error;
    const fs::file_time_type copied = fs::last_write_time(FsPath(versions[0].path), error);
    if (error) return;
    const fs::file_time_type changed = fs::last_write_time(FsPath(file), error);
    if (error || copied < changed) return;
    std::vector<uint8_t> kept;
    if (ReadRegularFile(versions[0].path, current.size(), kept) == CReadResult::Done &&
        kept == current)
        fs::remove(FsPath(versions[0].path), error);
}

void CHistory::Trim() {
    const std::vector<CVersion> versions = Versions();
    std::error_code error;
    for (size_t i = kHistoryLength; i < versions.size(); ++i)
        fs::remove(FsPath(versions[i].path), error);
}

CCalibrationFile::CCalibrationFile(const std::string& path, const std::string& what,
                                   uint64_t maxBytes)
    : m_strPath(path),
      m_strTarget(ResolveLinks(path)),
      m_History(path),
      m_Log(m_History.Folder()),
      m_uMaxBytes(maxBytes) {
    // A path the system cannot take would otherwise look like a lock held by another command.
    if (IsPathTooLong(m_strTarget))
        throw CHostError(path + ": " + PathTooLong(path) + " (" + what + ")");
    if (!m_Lock.Acquire(BesideFile(m_strTarget, ".kavrel-host-lock"), kCalibrationWaitMs))
        throw CHostError(path +
                         ": another calibration or restore of this file is still running (or "
                         "no lock file can be made beside it); nothing was written (" +
                         what + ")");
    RemoveLeftovers();
    m_History.RemoveLeftovers();
    std::vector<uint8_t> bytes;
    switch (ReadRegularFile(m_strTarget, maxBytes, bytes)) {
        case CReadResult::Done:
            m_Before = std::move(bytes);
            break;
        case CReadResult::Missing:
            return;
        case CReadResult::NotRegular:
            throw CHostError(path + ": is no regular file; it is not replaced (" + what + ")");
        case CReadResult::Unreadable:
            throw CHostError(path + ": exists but cannot be read; it is kept as it is (" + what +
                             ")");
        case CReadResult::TooLarge:
            throw CHostError(path + ": larger than such a file can be; it is kept as it is (" +
                             what + ")");
        case CReadResult::InUse:
            throw CHostError(path + ": " + kInUse + "; it is kept as it is (" + what + ")");
        case CReadResult::NameTooLong:
            throw CHostError(path + ": " + PathTooLong(path) + " (" + what + ")");
    }
    if (IsInUse(m_strTarget))
        throw CHostError(path + ": " + kInUse + "; it is kept as it is (" + what + ")");
    if (IsWriteProtected(m_strTarget))
        throw CHostError(path + ": is write-protected; it is kept as it is (" + what + ")");
    if (m_Before) m_History.RemoveUnfinished(m_strTarget, *m_Before);
}

CCalibrationFile::~CCalibrationFile() {
    // Ended by an error: a copy of a file that was not replaced after all would only repeat it.
    std::vector<uint8_t> now;
    if (!m_strKept.empty() &&
        ReadRegularFile(m_strTarget, m_Before ? m_Before->size() : 0, now) == CReadResult::Done &&
        m_Before && now == *m_Before) {
        std::error_code error;
        fs::remove(FsPath(m_strKept), error);
    }
    m_History.RemoveIfEmpty();
}

// Temporary files of the host's own writes of this file that a killed run left behind; with the
// lock held no other run of the host is writing one.
void CCalibrationFile::RemoveLeftovers() {
    const fs::path target = FsPath(m_strTarget);
    const std::string prefix = NarrowPath(target.filename()).substr(0, 200) + ".kavrel-host-";
    std::error_code error;
    const std::string folder = target.has_parent_path() ? NarrowPath(target.parent_path()) : ".";
    for (const std::string& name : FolderNames(folder)) {
        const fs::path path = FsPath(PathInFolder(folder, name));
        if (name.size() == prefix.size() + 8 && name.compare(0, prefix.size(), prefix) == 0 &&
            !fs::is_directory(path, error))
            fs::remove(path, error);
    }
}

void CCalibrationFile::KeepBefore() {
    if (m_Before) m_strKept = m_History.Keep(*m_Before);
}

void CCalibrationFile::LockAgainstLibrary() {
    if (!m_LibraryLock.Acquire(LibraryLockPath(m_strTarget), kCalibrationWaitMs))
        throw CHostError(m_strPath +
                         ": a calibration of this file is still running; nothing was written");
}

std::string CCalibrationFile::WaitNote() const {
    if (!Waited()) return std::string();
    return m_strPath +
           ": waited for another calibration or restore of this file to end; this calibration "
           "starts from the file that the other one left, and its correction goes on top of "
           "the other's";
}

void CCalibrationFile::SetInput(const std::string& digest, const std::string& name,
                                const std::string& what, bool again, const std::string& hint) {
    m_strInput = digest;
    m_strInputName = name;
    if (again || !m_Before) return;
    const std::optional<CMadeBy> made = m_Log.MadeThis(*m_Before);
    if (!made || made->input != digest) return;
    throw CHostError(m_strPath + ": " + what + " " + name + " made this file as it is now, applied at " +
                     made->time + (made->name == name ? "" : " from " + made->name) +
                     "; applied again, the library would stack the same correction on itself: "
                     "nothing was written" + hint);
}

std::string CCalibrationFile::Finish(bool replaced) {
    std::error_code error;
    if (!replaced && !m_strKept.empty()) fs::remove(FsPath(m_strKept), error);
    m_strKept.clear();
    if (!replaced) {
        m_History.RemoveIfEmpty();
        return std::string();
    }
    m_History.Trim();
    if (m_strInput.empty()) return std::string();
    std::vector<uint8_t> now;
    try {
        if (ReadRegularFile(m_strTarget, m_uMaxBytes, now) != CReadResult::Done)
            throw CHostError(m_strPath + ": cannot be read back");
        MakeFolder(m_History.Folder());
        m_Log.Add(m_strInput, m_strInputName, now, CHistory::Now());
    } catch (const CHostError& e) {
        return std::string(e.what()) + "; a second run with the same input is not recognised";
    }
    return std::string();
}

}  // namespace host
