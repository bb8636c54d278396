// The earlier versions of a calibration file, and the guard around a calibration that keeps them.
//
// Each calibration replaces the lab's only copy of its table or map. Before the library replaces
// the file, the host copies it into a folder beside it (NAME.history), under the time of the
// replacement (UTC), and keeps the last kHistoryLength versions there. Calibrations and restores
// of one file run one at a time: the host holds a lock for the whole command.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "base/NonCopyable.h"
#include "files/Platform.h"
#include "history/CalibrationLog.h"

namespace host {

constexpr size_t kHistoryLength = 10;
// How long a command waits for another calibration or restore of the same file.
constexpr unsigned kCalibrationWaitMs = 30000;

struct CVersion {
    std::string path;  // the kept copy
    std::string time;  // when it was replaced, "2026-12-10 13:45:07.123 UTC"
    uint64_t size = 0;
};

class CHistory : private kavrel::CNonCopyable {
public:
    // The history of the file that path names (links followed).
    explicit CHistory(const std::string& path);
    virtual ~CHistory() = default;

    const std::string& Folder() const { return m_strFolder; }
    // Newest first: version 1 is the one the last calibration or restore replaced.
    std::vector<CVersion> Versions() const;
    // Keeps the bytes as the newest version; returns the copy's path. Throws CHostError.
    std::string Keep(const std::vector<uint8_t>& bytes);
    // Removes all but the newest kHistoryLength versions.
    void Trim();
    // Removes the newest version when it is a copy of the file as it is now, made after the file's
    // last change: the copy of a calibration that was killed before it replaced the file, which
    // restore would only put back in place of itself.
    void RemoveUnfinished(const std::string& file, const std::vector<uint8_t>& current);
    // Removes the temporary files that a save of a version left when it was killed or lost its
    // power; call it with the file's lock held.
    void RemoveLeftovers();
    // Removes the folder when it holds nothing, as after a calibration that replaced nothing.
    void RemoveIfEmpty();
    // When a version kept now is said to have been replaced: "2026-12-10 13:45:07.123 UTC".
    static std::string Now();

private:
    // A version's exact name: the time of its replacement and the file's extension.
    bool IsVersionName(const std::string& name) const;

    std::string m_strFolder;
    std::string m_strExtension;
};

// A calibration file for the length of one command: links followed, the host's lock taken (so
// that a second command on the same file waits), and the file checked: only a file that does not
// exist is a first calibration; one that cannot be read, is no regular file, is larger than its
// format allows or is write-protected ends the command with CHostError before anything is written.
class CCalibrationFile : private kavrel::CNonCopyable {
public:
    CCalibrationFile(const std::string& path, const std::string& what, uint64_t maxBytes);
    virtual ~CCalibrationFile();

    // The file as it was when the lock was taken; nothing for a first calibration.
    const std::optional<std::vector<uint8_t>>& Before() const { return m_Before; }
    // The file the path leads to.
    const std::string& Target() const { return m_strTarget; }
    // Keeps the file as it is now in the history, before it is replaced.
    void KeepBefore();
    // Takes the library's own lock of the file too, for a command that replaces the file itself.
    void LockAgainstLibrary();
    // Another calibration or restore of the file held the lock, and this one waited for it: its
    // correction goes on top of the file that the other left.
    bool Waited() const { return m_Lock.Waited(); }
    // What the wait means, to print; empty when there was none.
    std::string WaitNote() const;
    // The input of this calibration (what: "the readings" or "the scan"; name: its file as
    // given). Throws CHostError when the same input made the file as it is now, so that applying
    // it again would stack its correction on itself, unless again; hint closes that message.
    void SetInput(const std::string& digest, const std::string& name, const std::string& what,
                  bool again, const std::string& hint);
    // The file was replaced (the kept copy stays, the history is trimmed, the input is recorded
    // as what made the new file) or not (the copy goes). Returns a doubt to print (the record
    // could not be written), or an empty string.
    std::string Finish(bool replaced);

private:
    void RemoveLeftovers();

    std::string m_strPath;
    std::string m_strTarget;
    CProcessLock m_Lock;
    CProcessLock m_LibraryLock;
    std::optional<std::vector<uint8_t>> m_Before;
    CHistory m_History;
    CCalibrationLog m_Log;
    std::string m_strKept;
    uint64_t m_uMaxBytes;
    std::string m_strInput;
    std::string m_strInputName;
};

// A file's contents and time of last change. The library reports no result for a calibration:
// the states of its file before and after tell whether it wrote a new one.
struct CFileState {
    std::optional<std::vector<uint8_t>> bytes;  // nothing when missing or unreadable
    std::filesystem::file_time_type time{};

    static CFileState Of(const std::string& path);
    // The file's contents now, when it was written since this state (it differs in contents or
    // time); nothing when it is as it was, or gone.
    std::optional<std::vector<uint8_t>> NewContents(const std::string& path) const;
};

// The lock file the library takes for calibrations of the file at target.
std::string LibraryLockPath(const std::string& target);

}  // namespace host
