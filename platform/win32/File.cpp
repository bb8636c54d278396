#include "platform/File.h"

#include <windows.h>

#include "platform/PlatformInternal.h"

namespace platform {

namespace {
HANDLE Handle(intptr_t h) { return reinterpret_cast<HANDLE>(h); }
const intptr_t kNoFile = reinterpret_cast<intptr_t>(INVALID_HANDLE_VALUE);
}  // namespace

CFile::CFile() : m_hFile(kNoFile), m_bWritable(false), m_bFailed(false) {}

CFile::~CFile() { Close(); }

bool CFile::OpenRead(const std::string& path) {
    Close();
    HANDLE h = ::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                             FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    m_hFile = reinterpret_cast<intptr_t>(h);
    m_bWritable = false;
    m_bFailed = false;
    return true;
}

bool CFile::Create(const std::string& path) {
    Close();
    if (path.empty()) return false;
    HANDLE h = ::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    m_hFile = reinterpret_cast<intptr_t>(h);
    m_bWritable = true;
    m_bFailed = false;
    return true;
}

bool CFile::IsOpen() const { return m_hFile != kNoFile; }

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
    m_hFile = kNoFile;
    m_bWritable = false;
    m_bFailed = false;
    return ok;
}

bool MoveFileOver(const std::string& source, const std::string& target) {
    return ::MoveFileExA(source.c_str(), target.c_str(),
                         MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

bool RemoveFile(const std::string& path) { return ::DeleteFileA(path.c_str()) != 0; }

}  // namespace platform
