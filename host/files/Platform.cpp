// The host's operating-system code, but for loading the library (SharedLibrary*.cpp) and looking at
// the displays (Display*.cpp): the library's settings file, files read and replaced safely, locks.
#include "files/Platform.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>

#include "files/Paths.h"

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

#include "platform/win32/SystemPath.h"
#else
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "platform/IniFile.h"
#endif

namespace host {

namespace {

constexpr size_t kReadChunk = 1 << 16;

// A temporary name beside target that no other writer is likely to pick; exclusive creation
// catches the rest.
std::string TemporaryName(const std::string& target, int attempt) {
    static std::atomic<unsigned> counter{0};
    const auto now = std::chrono::high_resolution_clock::now().time_since_epoch().count();
    const unsigned long long mixed = static_cast<unsigned long long>(now) * 2654435761ull +
                                     counter++ * 40503ull + static_cast<unsigned>(attempt);
    char suffix[24];
    std::snprintf(suffix, sizeof suffix, ".kavrel-host-%08x",
                  static_cast<unsigned>(mixed ^ (mixed >> 32)));
    const size_t slash = target.find_last_of("/\\");
    const size_t start = slash == std::string::npos ? 0 : slash + 1;
    // Room for the suffix within the 255 bytes of a file name.
    if (target.size() - start > 200) return target.substr(0, start + 200) + suffix;
    return target + suffix;
}

}  // namespace

#ifdef _WIN32

namespace {

// What a failed open of a file to read means.
CReadResult FailedOpen(DWORD code) {
    switch (code) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
            return CReadResult::Missing;
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION:
            return CReadResult::InUse;
        case ERROR_FILENAME_EXCED_RANGE:
        case ERROR_BUFFER_OVERFLOW:
            return CReadResult::NameTooLong;
        default:
            return CReadResult::Unreadable;
    }
}

}  // namespace

std::filesystem::path FsPath(const std::string& path) {
    return std::filesystem::path(platform::SystemPath(path));
}

std::string NarrowPath(const std::filesystem::path& path) {
    return platform::AnsiName(platform::PlainPath(path.native()));
}

CLibrarySetting ReadLibrarySetting(const std::string& libraryPath, const char* section,
                                   const char* key, int defaultValue) {
    // The library names its settings file after its own module: kavrel.dll reads kavrel.INI.
    std::string name = libraryPath;
    const size_t slash = name.find_last_of("\\/:");
    if (slash != std::string::npos) name.erase(0, slash + 1);
    const size_t dot = name.find_last_of('.');
    if (dot != std::string::npos) name.erase(dot);
    if (name.empty()) name = "kavrel";
    name += ".INI";
    CLibrarySetting setting;
    setting.value = GetPrivateProfileIntA(section, key, defaultValue, name.c_str());
    // A second default tells a value read from the file from the default.
    setting.present =
        GetPrivateProfileIntA(section, key, defaultValue + 1, name.c_str()) == setting.value;
    char folder[MAX_PATH + 1] = "";
    const UINT length = GetWindowsDirectoryA(folder, MAX_PATH);
    setting.file =
        (length > 0 && length < MAX_PATH ? std::string(folder, length) + "\\" : "") + name;
    return setting;
}

CReadResult ReadRegularFile(const std::string& path, uint64_t maxBytes, std::vector<uint8_t>& bytes,
                            bool prefixOnly) {
    bytes.clear();
    HANDLE h = CreateFileW(platform::SystemPath(path).c_str(), GENERIC_READ, FILE_SHARE_READ,
                           nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return FailedOpen(GetLastError());
    BY_HANDLE_FILE_INFORMATION info;
    LARGE_INTEGER size;
    CReadResult result = CReadResult::Done;
    if (GetFileType(h) != FILE_TYPE_DISK || !GetFileInformationByHandle(h, &info) ||
        (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 || !GetFileSizeEx(h, &size))
        result = CReadResult::NotRegular;
    else if (static_cast<uint64_t>(size.QuadPart) > maxBytes && !prefixOnly)
        result = CReadResult::TooLarge;
    while (result == CReadResult::Done && bytes.size() < maxBytes) {
        const size_t old = bytes.size();
        bytes.resize(old + static_cast<size_t>(std::min<uint64_t>(kReadChunk, maxBytes - old)));
        DWORD n = 0;
        if (!ReadFile(h, bytes.data() + old, static_cast<DWORD>(bytes.size() - old), &n, nullptr))
            result = CReadResult::Unreadable;
        bytes.resize(old + n);
        if (n == 0) break;
    }
    CloseHandle(h);
    if (result != CReadResult::Done) bytes.clear();
    return result;
}

bool CanCreateFileBeside(const std::string& target) {
    for (int attempt = 0; attempt < 64; ++attempt) {
        HANDLE h = CreateFileW(platform::SystemPath(TemporaryName(target, attempt)).c_str(),
                               GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                               FILE_ATTRIBUTE_NORMAL | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
        if (h != INVALID_HANDLE_VALUE) return CloseHandle(h) != 0;
        if (GetLastError() != ERROR_FILE_EXISTS && GetLastError() != ERROR_ALREADY_EXISTS)
            return false;
    }
    return false;
}

bool IsWriteProtected(const std::string& path) {
    const DWORD attributes = GetFileAttributesW(platform::SystemPath(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0;
}

bool IsInUse(const std::string& path) {
    // Replacing a file takes the right to delete it; reading, the right to read it. Another
    // program's handle that shares neither makes the open fail with a sharing violation.
    for (const DWORD access : {DWORD{GENERIC_READ}, DWORD{DELETE}}) {
        HANDLE h = CreateFileW(platform::SystemPath(path).c_str(), access,
                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h != INVALID_HANDLE_VALUE) {
            CloseHandle(h);
            continue;
        }
        const DWORD code = GetLastError();
        if (code == ERROR_SHARING_VIOLATION || code == ERROR_LOCK_VIOLATION) return true;
    }
    return false;
}

std::string ArgumentOutsideCodePage() {
    int count = 0;
    LPWSTR* arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    if (arguments == nullptr) return std::string();
    std::string found;
    for (int i = 1; i < count && found.empty(); ++i) {
        bool lacking = false;
        const std::string narrow = platform::AnsiName(arguments[i], &lacking);
        if (lacking) found = narrow;
    }
    LocalFree(arguments);
    return found;
}

CProcessLock::CProcessLock() : m_hFile(reinterpret_cast<intptr_t>(INVALID_HANDLE_VALUE)) {}

CProcessLock::~CProcessLock() { Release(); }

// The holder deletes the lock file when done; one still open elsewhere keeps its name taken
// until every handle is closed, so opening it meanwhile fails and is tried again.
bool CProcessLock::Acquire(const std::string& lockPath, unsigned timeoutMs) {
    Release();
    m_bWaited = false;
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    HANDLE h = INVALID_HANDLE_VALUE;
    for (;;) {
        if (h == INVALID_HANDLE_VALUE) {
            h = CreateFileW(platform::SystemPath(lockPath).c_str(), GENERIC_READ | GENERIC_WRITE,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
            if (h == INVALID_HANDLE_VALUE && GetLastError() != ERROR_ACCESS_DENIED) return false;
        }
        OVERLAPPED at = {};
        if (h != INVALID_HANDLE_VALUE &&
            LockFileEx(h, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at)) {
            m_hFile = reinterpret_cast<intptr_t>(h);
            m_strPath = lockPath;
            return true;
        }
        if (GetTickCount64() >= deadline) break;
        m_bWaited = true;
        Sleep(20);
    }
    if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
    return false;
}

void CProcessLock::Release() {
    HANDLE h = reinterpret_cast<HANDLE>(m_hFile);
    if (h == INVALID_HANDLE_VALUE) return;
    OVERLAPPED at = {};
    UnlockFileEx(h, 0, 1, 0, &at);
    CloseHandle(h);
    platform::DeletePath(m_strPath);
    m_hFile = reinterpret_cast<intptr_t>(INVALID_HANDLE_VALUE);
}

#else

std::filesystem::path FsPath(const std::string& path) { return std::filesystem::path(path); }

std::string NarrowPath(const std::filesystem::path& path) { return path.native(); }

CReadResult ReadRegularFile(const std::string& path, uint64_t maxBytes, std::vector<uint8_t>& bytes,
                            bool prefixOnly) {
    bytes.clear();
    // Without O_NONBLOCK opening a FIFO would wait for a writer.
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0)
        return errno == ENOENT || errno == ENOTDIR ? CReadResult::Missing
               : errno == ENAMETOOLONG             ? CReadResult::NameTooLong
                                                   : CReadResult::Unreadable;
    struct stat info;
    CReadResult result = CReadResult::Done;
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode))
        result = CReadResult::NotRegular;
    else if (static_cast<uint64_t>(info.st_size) > maxBytes && !prefixOnly)
        result = CReadResult::TooLarge;
    else
        fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    while (result == CReadResult::Done && bytes.size() < maxBytes) {
        const size_t old = bytes.size();
        bytes.resize(old + static_cast<size_t>(std::min<uint64_t>(kReadChunk, maxBytes - old)));
        const ssize_t n = read(fd, bytes.data() + old, bytes.size() - old);
        bytes.resize(old + static_cast<size_t>(n > 0 ? n : 0));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) result = CReadResult::Unreadable;
        if (n <= 0) break;
    }
    // A file that grew past the limit while it was read.
    if (result == CReadResult::Done && !prefixOnly && bytes.size() == maxBytes) {
        char extra;
        if (read(fd, &extra, 1) == 1) result = CReadResult::TooLarge;
    }
    close(fd);
    if (result != CReadResult::Done) bytes.clear();
    return result;
}

bool CanCreateFileBeside(const std::string& target) {
    for (int attempt = 0; attempt < 64; ++attempt) {
        const std::string probe = TemporaryName(target, attempt);
        const int fd =
            open(probe.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd >= 0) {
            close(fd);
            unlink(probe.c_str());
            return true;
        }
        if (errno != EEXIST) return false;
    }
    return false;
}

// Files are not locked against other programs here.
bool IsInUse(const std::string&) { return false; }

// The command line's arguments reach the host as the system's bytes, unchanged.
std::string ArgumentOutsideCodePage() { return std::string(); }

bool IsWriteProtected(const std::string& path) {
    struct stat info;
    if (stat(path.c_str(), &info) != 0) return false;
    return access(path.c_str(), W_OK) != 0 || (info.st_mode & 0222) == 0;
}

CProcessLock::CProcessLock() : m_hFile(-1) {}

CProcessLock::~CProcessLock() { Release(); }

// The holder removes the lock file when done; a waiter that had opened it then holds a lock on a
// removed file, so after locking it checks that the name still leads to the file it locked.
bool CProcessLock::Acquire(const std::string& lockPath, unsigned timeoutMs) {
    Release();
    m_bWaited = false;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        const int fd =
            open(lockPath.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK, 0666);
        if (fd < 0) return false;
        struct stat held, named;
        if (fstat(fd, &held) != 0 || !S_ISREG(held.st_mode)) {
            close(fd);
            return false;
        }
        if (flock(fd, LOCK_EX | LOCK_NB) == 0) {
            if (stat(lockPath.c_str(), &named) == 0 && named.st_dev == held.st_dev &&
                named.st_ino == held.st_ino) {
                m_hFile = fd;
                m_strPath = lockPath;
                return true;
            }
            close(fd);
            continue;
        }
        close(fd);
        if (std::chrono::steady_clock::now() >= deadline) return false;
        m_bWaited = true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

void CProcessLock::Release() {
    if (m_hFile < 0) return;
    unlink(m_strPath.c_str());
    close(static_cast<int>(m_hFile));
    m_hFile = -1;
}

CLibrarySetting ReadLibrarySetting(const std::string&, const char* section, const char* key,
                                   int defaultValue) {
    const char* folder = std::getenv("KAVREL_INI_DIR");
    CLibrarySetting setting;
    setting.file =
        std::string(folder != nullptr && *folder != '\0' ? folder : "/etc") + "/kavrel.INI";
    setting.value = static_cast<unsigned>(defaultValue);
    // As the library reads it: a regular file only (a FIFO would block), its first megabyte.
    std::vector<uint8_t> bytes;
    if (ReadRegularFile(setting.file, 1 << 20, bytes, true) != CReadResult::Done) return setting;
    const std::string text(bytes.begin(), bytes.end());
    setting.value = platform::ProfileIntFromText(text, section, key, defaultValue);
    // A second default tells a value read from the file from the default.
    setting.present =
        platform::ProfileIntFromText(text, section, key, defaultValue + 1) == setting.value;
    return setting;
}

#endif

}  // namespace host
