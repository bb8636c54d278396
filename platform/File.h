// Whole-file reading and writing through the operating system.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace platform {

// An open file, closed by the destructor on every path.
class CFile {
public:
    CFile();
    virtual ~CFile();
    CFile(const CFile&) = delete;
    CFile& operator=(const CFile&) = delete;

    // Opens an existing file for reading; others may read it but not write it meanwhile.
    bool OpenRead(const std::string& path);
    // Creates a file for writing, truncating an existing one; no sharing while it is open.
    bool Create(const std::string& path);

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
    intptr_t m_hFile;
    bool m_bWritable;
    bool m_bFailed;
};

// Replaces target by source (same folder) in one step; false when that is not possible.
bool MoveFileOver(const std::string& source, const std::string& target);
// Removes a file; false when it is not there or cannot be removed.
bool RemoveFile(const std::string& path);

// Test hook: when set, it is asked before every write with the number of bytes written to the file
// so far and may make the write fail (a full disk, an I/O error).
using WriteFailureHook = bool (*)(int64_t offset, size_t size);
void SetWriteFailureHook(WriteFailureHook hook);

}  // namespace platform
