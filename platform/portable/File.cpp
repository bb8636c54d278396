// POSIX files. POSIX has no share modes; the portable build relies on advisory locks instead
// (a shared lock while reading, an exclusive one while writing).
#include "platform/File.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "platform/PlatformInternal.h"

namespace platform {

namespace {
constexpr intptr_t kNoFile = -1;
int Fd(intptr_t handle) { return static_cast<int>(handle); }
}  // namespace

CFile::CFile() : m_hFile(kNoFile), m_bWritable(false), m_bFailed(false) {}

CFile::~CFile() { Close(); }

bool CFile::OpenRead(const std::string& path) {
    Close();
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat info;
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return false;
    }
    ::flock(fd, LOCK_SH | LOCK_NB);
    m_hFile = fd;
    m_bWritable = false;
    m_bFailed = false;
    return true;
}

bool CFile::Create(const std::string& path) {
    Close();
    if (path.empty()) return false;
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    ::flock(fd, LOCK_EX | LOCK_NB);
    m_hFile = fd;
    m_bWritable = true;
    m_bFailed = false;
    return true;
}

bool CFile::IsOpen() const { return m_hFile != kNoFile; }

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
    m_hFile = kNoFile;
    m_bWritable = false;
    m_bFailed = false;
    return ok;
}

bool MoveFileOver(const std::string& source, const std::string& target) {
    return std::rename(source.c_str(), target.c_str()) == 0;
}

bool RemoveFile(const std::string& path) { return ::unlink(path.c_str()) == 0; }

}  // namespace platform
