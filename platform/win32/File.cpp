#include "platform/File.h"

#include <windows.h>

#include <memory>
#include <new>
#include <utility>

#include "platform/PlatformInternal.h"
#include "platform/win32/SystemPath.h"

namespace platform {

namespace {
HANDLE Handle(intptr_t h) { return reinterpret_cast<HANDLE>(h); }
}  // namespace

namespace {

// A file on a disk, not a device (CON, NUL, COM1, a pipe) that reads could block on.
bool IsDiskFile(HANDLE h) {
    BY_HANDLE_FILE_INFORMATION info;
    return ::GetFileType(h) == FILE_TYPE_DISK && ::GetFileInformationByHandle(h, &info) &&
           (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

}  // namespace

bool CFile::OpenRead(const std::string& path) {
    Close();
    HANDLE h =
        ::CreateFileW(SystemPath(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    if (!IsDiskFile(h)) {
        ::CloseHandle(h);
        return false;
    }
    return Adopt(reinterpret_cast<intptr_t>(h), false);
}

bool CFile::Create(const std::string& path) {
    Close();
    if (path.empty()) return false;
    HANDLE h = ::CreateFileW(SystemPath(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    return Adopt(reinterpret_cast<intptr_t>(h), true);
}

bool CFile::CreateNew(const std::string& path) {
    Close();
    if (path.empty()) return false;
    HANDLE h = ::CreateFileW(SystemPath(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                             FILE_ATTRIBUTE_NORMAL | FILE_FLAG_WRITE_THROUGH, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    return Adopt(reinterpret_cast<intptr_t>(h), true);
}

// The new file inherits the folder's access rules, as the replaced one did.
void CFile::TakePermissionsOf(const std::string&) {}

int64_t CFile::Length() const {
    LARGE_INTEGER size;
    if (!IsOpen() || !::GetFileSizeEx(Handle(m_hFile), &size)) return -1;
    return static_cast<int64_t>(size.QuadPart);
}

bool CFile::Seek(int64_t position) {
    if (!IsOpen() || position < 0) return false;
    LARGE_INTEGER to;
    to.QuadPart = position;
    return ::SetFilePointerEx(Handle(m_hFile), to, nullptr, FILE_BEGIN) != 0;
}

size_t CFile::Read(void* buffer, size_t size) {
    if (!IsOpen()) return 0;
    size_t done = 0;
    while (done < size) {
        const DWORD chunk = static_cast<DWORD>(size - done > 0x10000000 ? 0x10000000 : size - done);
        DWORD n = 0;
        if (!::ReadFile(Handle(m_hFile), static_cast<char*>(buffer) + done, chunk, &n, nullptr) ||
            n == 0)
            break;
        done += n;
    }
    return done;
}

bool CFile::Write(const void* buffer, size_t size) {
    if (!IsOpen() || !m_bWritable || m_bFailed) return false;
    LARGE_INTEGER zero, offset;
    zero.QuadPart = 0;
    ::SetFilePointerEx(Handle(m_hFile), zero, &offset, FILE_CURRENT);
    if (WriteShouldFail(offset.QuadPart, size)) {
        m_bFailed = true;
        return false;
    }
    size_t done = 0;
    while (done < size) {
        const DWORD chunk = static_cast<DWORD>(size - done > 0x10000000 ? 0x10000000 : size - done);
        DWORD n = 0;
        if (!::WriteFile(Handle(m_hFile), static_cast<const char*>(buffer) + done, chunk, &n,
                         nullptr) ||
            n == 0) {
            m_bFailed = true;
            return false;
        }
        done += n;
    }
    return true;
}

bool CFile::Close() {
    if (!IsOpen()) return true;
    bool ok = !m_bFailed;
    if (m_bWritable && !::FlushFileBuffers(Handle(m_hFile))) ok = false;
    if (!::CloseHandle(Handle(m_hFile))) ok = false;
    Adopt(kNoFile, false);
    return ok;
}

// MOVEFILE_WRITE_THROUGH returns only when the move is on the device. Without memory for the wide
// paths the move fails as a failed move does, so that the caller removes its new file.
MoveResult MoveFileOver(const std::string& source, const std::string& target) {
    try {
        if (::MoveFileExW(SystemPath(source).c_str(), SystemPath(target).c_str(),
                          MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) == 0)
            return MoveResult::Failed;
    } catch (const std::bad_alloc&) {
        return MoveResult::Failed;
    }
    return FolderFlushShouldFail() ? MoveResult::NotFlushed : MoveResult::Durable;
}

bool RemoveFile(const std::string& path) { return DeletePath(path); }

FileKind ProbeFile(const std::string& path) {
    const DWORD attributes = ::GetFileAttributesW(SystemPath(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD error = ::GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? FileKind::Missing
                                                                              : FileKind::Other;
    }
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) return FileKind::Other;
    HANDLE h =
        ::CreateFileW(SystemPath(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return ::GetLastError() == ERROR_ACCESS_DENIED ? FileKind::Unreadable : FileKind::Other;
    const bool disk = IsDiskFile(h);
    ::CloseHandle(h);
    return disk ? FileKind::Regular : FileKind::Other;
}

bool NameExists(const std::string& path) {
    return ::GetFileAttributesW(SystemPath(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool IsWriteProtected(const std::string& path) {
    const DWORD attributes = ::GetFileAttributesW(SystemPath(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0;
}

std::string ResolveLinks(const std::string& path) { return path; }

std::vector<std::string> ListFolder(const std::string& folder) {
    std::vector<std::string> names;
    WIN32_FIND_DATAW entry;
    std::string pattern = folder.empty() ? std::string(".") : folder;
    if (pattern.back() != '\\' && pattern.back() != '/') pattern += '\\';
    HANDLE find = ::FindFirstFileW(SystemPath(pattern + "*").c_str(), &entry);
    if (find == INVALID_HANDLE_VALUE) return names;
    // Closed on every path, a failed allocation of a name included.
    const std::unique_ptr<void, BOOL(WINAPI*)(HANDLE)> closer(find, ::FindClose);
    do {
        const std::string name = AnsiName(entry.cFileName);
        if (name != "." && name != "..") names.push_back(name);
    } while (::FindNextFileW(find, &entry));
    return names;
}

const char* PathSeparators() { return "\\/"; }

// The holder deletes the lock file after giving the lock up. A process that has it open then
// still locks the same file, and nobody can create a new one by that name until every handle to
// the deleted one is closed (opening it fails meanwhile, and is tried again).
bool CFileLock::Acquire(const std::string& lockPath, unsigned timeoutMs) {
    Release();
    m_bTimedOut = false;
    // Copied first: an allocation failing here leaves nothing to undo.
    std::string path = lockPath;
    const ULONGLONG deadline = ::GetTickCount64() + timeoutMs;
    HANDLE h = INVALID_HANDLE_VALUE;
    for (;;) {
        if (h == INVALID_HANDLE_VALUE) {
            h = ::CreateFileW(SystemPath(lockPath).c_str(), GENERIC_READ | GENERIC_WRITE,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
            if (h == INVALID_HANDLE_VALUE && ::GetLastError() != ERROR_ACCESS_DENIED) return false;
            if (h != INVALID_HANDLE_VALUE && !IsDiskFile(h)) {
                ::CloseHandle(h);
                return false;
            }
        }
        OVERLAPPED at = {};
        if (h != INVALID_HANDLE_VALUE &&
            ::LockFileEx(h, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at)) {
            m_hFile = reinterpret_cast<intptr_t>(h);
            m_strPath = std::move(path);
            return true;
        }
        if (::GetTickCount64() >= deadline) break;
        ::Sleep(20);
    }
    if (h != INVALID_HANDLE_VALUE) ::CloseHandle(h);
    m_bTimedOut = true;
    return false;
}

void CFileLock::Release() {
    if (!IsHeld()) return;
    OVERLAPPED at = {};
    ::UnlockFileEx(Handle(m_hFile), 0, 1, 0, &at);
    ::CloseHandle(Handle(m_hFile));
    DeletePath(m_strPath);
    m_hFile = kNoFile;
    m_strPath.clear();
}

struct CRecursiveLock::CState {
    CRITICAL_SECTION section;
};

CRecursiveLock::CRecursiveLock() : m_pState(std::make_unique<CState>()) {
    ::InitializeCriticalSection(&m_pState->section);
}

CRecursiveLock::~CRecursiveLock() { ::DeleteCriticalSection(&m_pState->section); }

void CRecursiveLock::Lock() { ::EnterCriticalSection(&m_pState->section); }

void CRecursiveLock::Unlock() { ::LeaveCriticalSection(&m_pState->section); }

}  // namespace platform
