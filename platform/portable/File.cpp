// POSIX files. POSIX has no share modes; the portable build relies on advisory locks instead
// (a shared lock while reading, an exclusive one while writing).
#include "platform/File.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <memory>
#include <mutex>
#include <thread>

#include <utility>

#include "platform/PlatformInternal.h"

namespace platform {

namespace {
int Fd(intptr_t handle) { return static_cast<int>(handle); }
}  // namespace

// Opening without O_NONBLOCK would wait forever for a writer to a FIFO; the flag is cleared again
// once the file is known to be a regular one.
bool CFile::OpenRead(const std::string& path) {
    Close();
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) return false;
    struct stat info;
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return false;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    ::flock(fd, LOCK_SH | LOCK_NB);
    return Adopt(fd, false);
}

bool CFile::Create(const std::string& path) {
    Close();
    if (path.empty()) return false;
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    ::flock(fd, LOCK_EX | LOCK_NB);
    return Adopt(fd, true);
}

bool CFile::CreateNew(const std::string& path) {
    Close();
    if (path.empty()) return false;
    const int fd =
        ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0) return false;
    return Adopt(fd, true);
}

void CFile::TakePermissionsOf(const std::string& model) {
    struct stat info;
    if (!IsOpen() || ::stat(model.c_str(), &info) != 0) return;
    // The owner first: changing it may clear the set-id bits that fchmod then puts back.
    if (::fchown(Fd(m_hFile), info.st_uid, info.st_gid) != 0)
        (void)!::fchown(Fd(m_hFile), static_cast<uid_t>(-1), info.st_gid);
    ::fchmod(Fd(m_hFile), info.st_mode & 07777);
}

int64_t CFile::Length() const {
    struct stat info;
    if (!IsOpen() || ::fstat(Fd(m_hFile), &info) != 0) return -1;
    return static_cast<int64_t>(info.st_size);
}

bool CFile::Seek(int64_t position) {
    return IsOpen() && position >= 0 && ::lseek(Fd(m_hFile), position, SEEK_SET) == position;
}

size_t CFile::Read(void* buffer, size_t size) {
    if (!IsOpen()) return 0;
    size_t done = 0;
    while (done < size) {
        const ssize_t n = ::read(Fd(m_hFile), static_cast<char*>(buffer) + done, size - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += static_cast<size_t>(n);
    }
    return done;
}

bool CFile::Write(const void* buffer, size_t size) {
    if (!IsOpen() || !m_bWritable || m_bFailed) return false;
    const off_t offset = ::lseek(Fd(m_hFile), 0, SEEK_CUR);
    if (WriteShouldFail(offset, size)) {
        m_bFailed = true;
        return false;
    }
    size_t done = 0;
    while (done < size) {
        const ssize_t n = ::write(Fd(m_hFile), static_cast<const char*>(buffer) + done, size - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            m_bFailed = true;
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return true;
}

bool CFile::Close() {
    if (!IsOpen()) return true;
    bool ok = !m_bFailed;
    if (m_bWritable && ::fsync(Fd(m_hFile)) != 0) ok = false;
    if (::close(Fd(m_hFile)) != 0) ok = false;
    Adopt(kNoFile, false);
    return ok;
}

namespace {

std::string FolderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// The rename is only on the device once the folder that holds the name is. A file system that
// cannot flush a folder this way (EINVAL) writes its folders through by itself.
bool FlushFolder(const std::string& folder) {
    if (FolderFlushShouldFail()) return false;
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return false;
    const bool flushed = ::fsync(fd) == 0 || errno == EINVAL;
    ::close(fd);
    return flushed;
}

}  // namespace

MoveResult MoveFileOver(const std::string& source, const std::string& target) {
    if (std::rename(source.c_str(), target.c_str()) != 0) return MoveResult::Failed;
    return FlushFolder(FolderOf(target)) ? MoveResult::Durable : MoveResult::NotFlushed;
}

bool RemoveFile(const std::string& path) { return ::unlink(path.c_str()) == 0; }

FileKind ProbeFile(const std::string& path) {
    struct stat info;
    if (::stat(path.c_str(), &info) != 0) return errno == ENOENT ? FileKind::Missing : FileKind::Other;
    if (!S_ISREG(info.st_mode)) return FileKind::Other;
    CFile file;
    return file.OpenRead(path) ? FileKind::Regular : FileKind::Unreadable;
}

bool NameExists(const std::string& path) {
    struct stat info;
    return ::lstat(path.c_str(), &info) == 0;
}

bool IsWriteProtected(const std::string& path) {
    struct stat info;
    if (::stat(path.c_str(), &info) != 0) return false;
    // Root may write anything; a file without any write bit is still meant to be kept.
    return ::access(path.c_str(), W_OK) != 0 || (info.st_mode & 0222) == 0;
}

std::string ResolveLinks(const std::string& path) {
    std::string current = path;
    // The system's own limit on links in a row; a loop ends here and then fails to open.
    for (int hop = 0; hop < 40; ++hop) {
        struct stat info;
        if (::lstat(current.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return current;
        std::string target(static_cast<size_t>(info.st_size > 0 ? info.st_size : 4096) + 1, '\0');
        const ssize_t n = ::readlink(current.c_str(), target.data(), target.size());
        if (n <= 0 || static_cast<size_t>(n) >= target.size()) return current;
        target.resize(static_cast<size_t>(n));
        current = target[0] == '/' ? target : FolderOf(current) + "/" + target;
    }
    return current;
}

std::vector<std::string> ListFolder(const std::string& folder) {
    std::vector<std::string> names;
    // Closed on every path, a failed allocation of a name included.
    const std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(folder.empty() ? "." : folder.c_str()),
                                                  ::closedir);
    if (!dir) return names;
    while (const dirent* entry = ::readdir(dir.get())) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..") names.push_back(name);
    }
    return names;
}

const char* PathSeparators() { return "/"; }

// The lock file is removed when the lock is given up; a process that opened it before then holds
// a lock on a removed file, so after taking the lock it checks that the name still leads to the
// file it locked, and tries again otherwise.
bool CFileLock::Acquire(const std::string& lockPath, unsigned timeoutMs) {
    Release();
    m_bTimedOut = false;
    // Copied first: an allocation failing here leaves nothing to undo.
    std::string path = lockPath;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        const int fd =
            ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK, 0666);
        if (fd < 0) return false;
        struct stat held, named;
        if (::fstat(fd, &held) != 0 || !S_ISREG(held.st_mode)) {
            ::close(fd);
            return false;
        }
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
            if (::stat(lockPath.c_str(), &named) == 0 && named.st_dev == held.st_dev &&
                named.st_ino == held.st_ino) {
                m_hFile = fd;
                m_strPath = std::move(path);
                return true;
            }
            ::close(fd);
            continue;
        }
        ::close(fd);
        if (errno != EWOULDBLOCK && errno != EINTR) return false;
        if (std::chrono::steady_clock::now() >= deadline) {
            m_bTimedOut = true;
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

void CFileLock::Release() {
    if (!IsHeld()) return;
    ::unlink(m_strPath.c_str());
    ::close(Fd(m_hFile));
    m_hFile = kNoFile;
    m_strPath.clear();
}

struct CRecursiveLock::CState {
    std::recursive_mutex mutex;
};

CRecursiveLock::CRecursiveLock() : m_pState(std::make_unique<CState>()) {}

CRecursiveLock::~CRecursiveLock() = default;

void CRecursiveLock::Lock() { m_pState->mutex.lock(); }

void CRecursiveLock::Unlock() { m_pState->mutex.unlock(); }

}  // namespace platform
