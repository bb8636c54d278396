// Whole-file reading and writing through the operating system.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "base/NonCopyable.h"

namespace platform {

// No open file: -1 is an invalid descriptor and, as INVALID_HANDLE_VALUE, an invalid handle.
constexpr intptr_t kNoFile = -1;

// What a path names, seen from this process.
enum class FileKind {
    Missing,     // nothing by that name
    Regular,     // a regular file this process can open for reading
    Unreadable,  // a regular file that cannot be opened for reading (permissions)
    Other,       // a folder, a FIFO, a device or anything else that is no regular file
};

// An open file, closed by the destructor on every path.
class CFile : private kavrel::CNonCopyable {
public:
    CFile();
    virtual ~CFile();

    // Opens an existing regular file for reading; others may read it but not write it meanwhile.
    // Never blocks: a FIFO, a device or a folder is refused.
    bool OpenRead(const std::string& path);
    // Creates a file for writing, truncating an existing one; no sharing while it is open.
    bool Create(const std::string& path);
    // Creates a new file for writing that did not exist before: never opens an existing file or
    // follows a link by that name. Writes go through to the device.
    bool CreateNew(const std::string& path);
    // Gives the open written file the permission bits (and the owner, where allowed) of the file
    // at model, so that a replaced file keeps them.
    void TakePermissionsOf(const std::string& model);

    bool IsOpen() const;
    // Length in bytes, or -1 when unknown.
    int64_t Length() const;
    bool Seek(int64_t position);
    // Reads up to size bytes; returns how many arrived (fewer at the end of the file or on error).
    size_t Read(void* buffer, size_t size);
    // Writes all bytes or reports failure.
    bool Write(const void* buffer, size_t size);
    // Flushes a written file to the device and closes it; false when anything failed.
    bool Close();

private:
    // Takes over an open handle (or kNoFile), clearing the failure state; returns true.
    bool Adopt(intptr_t handle, bool writable);

    intptr_t m_hFile;
    bool m_bWritable;
    bool m_bFailed;
};

// How a move ended: not done, done and on the device, or done but the folder that holds the new
// name could not be flushed (the move may not survive a power loss).
enum class MoveResult { Failed, Durable, NotFlushed };
// Replaces target by source (same folder) in one step, durably (the folder is flushed, or the
// move is written through).
MoveResult MoveFileOver(const std::string& source, const std::string& target);
// Removes a file; false when it is not there or cannot be removed.
bool RemoveFile(const std::string& path);

FileKind ProbeFile(const std::string& path);
// True when anything has the name, a symbolic link to nowhere included.
bool NameExists(const std::string& path);
// True for an existing file that this process may not replace: no write permission, or
// marked read-only.
bool IsWriteProtected(const std::string& path);
// The path with symbolic links followed to the file they name (which need not exist yet); the
// path itself where the system has no links.
std::string ResolveLinks(const std::string& path);
// The names in a folder (without "." and ".."); empty when it cannot be read.
std::vector<std::string> ListFolder(const std::string& folder);
// The characters that separate folders in a path.
const char* PathSeparators();

// An exclusive lock on a lock file, held by this object until Release or destruction; other
// processes (and other objects in this process) wait for it.
class CFileLock : private kavrel::CNonCopyable {
public:
    CFileLock();
    virtual ~CFileLock();

    // Creates the lock file if needed and takes the lock, waiting at most timeoutMs
    // milliseconds; false when it could not be had.
    bool Acquire(const std::string& lockPath, unsigned timeoutMs);
    bool IsHeld() const;
    // True when the last Acquire failed because another holder kept the lock past the timeout
    // (not because the lock file could not be made).
    bool TimedOut() const { return m_bTimedOut; }
    // Gives the lock up (and removes the lock file where that is safe).
    void Release();

private:
    intptr_t m_hFile;
    std::string m_strPath;
    bool m_bTimedOut;
};

// A lock that one thread may take several times; other threads wait for it.
class CRecursiveLock : private kavrel::CNonCopyable {
public:
    CRecursiveLock();
    virtual ~CRecursiveLock();
    void Lock();
    void Unlock();

private:
    struct CState;
    std::unique_ptr<CState> m_pState;
};

// Test hook: when set, it is asked before every write with the number of bytes written to the file
// so far and may make the write fail (a full disk, an I/O error).
using WriteFailureHook = bool (*)(int64_t offset, size_t size);
void SetWriteFailureHook(WriteFailureHook hook);
// Test hook: while set, flushing a folder after a move fails (an I/O error on the device).
void SetFolderFlushFailure(bool fail);

}  // namespace platform
