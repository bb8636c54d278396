// The few things the host needs from the operating system beside loading the library
// (SharedLibrary.h): the library's settings, reading and replacing files safely, and locks between
// processes. Everything else is standard C++.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/NonCopyable.h"

namespace host {

// An integer setting of the library, read from the library's settings file as the library reads
// it: on Windows with the private-profile lookup of the file named after the library's module
// (kavrel.INI in the Windows folder), elsewhere from kavrel.INI in the folder named by the
// environment variable KAVREL_INI_DIR, or /etc. present is false when the default was taken.
struct CLibrarySetting {
    unsigned value = 0;
    bool present = false;
    std::string file;  // where the library looks for it
};
CLibrarySetting ReadLibrarySetting(const std::string& libraryPath, const char* section,
                                   const char* key, int defaultValue);

enum class CReadResult { Done, Missing, NotRegular, Unreadable, TooLarge, InUse, NameTooLong };

// Reads a regular file whole, without ever blocking (a FIFO or a device is refused as NotRegular)
// and without reading more than maxBytes: a longer file is TooLarge, unless prefixOnly, which
// reads its first maxBytes bytes.
CReadResult ReadRegularFile(const std::string& path, uint64_t maxBytes, std::vector<uint8_t>& bytes,
                            bool prefixOnly = false);

// True when a new file can be created in the folder of target (one is created and removed).
bool CanCreateFileBeside(const std::string& target);

// True when an existing file may not be replaced: no write permission, or marked read-only.
bool IsWriteProtected(const std::string& path);

// True when another program holds the file open so that it can be neither read nor replaced
// (Windows: a sharing violation; other systems lock no files against others).
bool IsInUse(const std::string& path);
// The message for a file that another program holds open.
constexpr const char* kInUse = "in use by another program: close it and run again";

// On Windows: the first argument of the command line with characters that the ANSI code page,
// in which the host and the library take names, cannot hold (as the host received it, with '?'
// in their place); empty when there is none, and on other systems.
std::string ArgumentOutsideCodePage();

// An exclusive lock between processes on a lock file, held until the object goes.
class CProcessLock : private kavrel::CNonCopyable {
public:
    CProcessLock();
    virtual ~CProcessLock();
    // Creates the lock file and locks it, waiting at most timeoutMs; false when not had.
    bool Acquire(const std::string& lockPath, unsigned timeoutMs);
    // The last Acquire found the lock held by another process and waited for it.
    bool Waited() const { return m_bWaited; }

private:
    void Release();
    intptr_t m_hFile;
    std::string m_strPath;
    bool m_bWaited = false;
};

}  // namespace host
