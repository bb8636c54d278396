// Files that are replaced only when complete, and the names kept beside them.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace platform {
class CFile;
}

namespace kavrel {

// Writes a file through a new temporary file beside it (created exclusively under a unique name)
// and replaces the old file only when the new one is complete, so a failed write (full disk, I/O
// error) leaves the old file byte for byte and no temporary file behind. A path that is a
// symbolic link replaces the file the link names, in that file's folder, and keeps the link; the
// replaced file's permission bits stay. A folder, a FIFO, a device or a write-protected file is
// never replaced. The writer returns false when any of its writes failed.
enum class SaveResult {
    Failed,      // nothing changed
    Saved,       // the new file is in place and on the device
    NotFlushed,  // the new file is in place, but its folder could not be flushed to the device:
                 // a power loss may still bring back the old file or lose the name
};
SaveResult SaveFile(const std::string& path, const std::function<bool(platform::CFile&)>& writer);
// The same, true only when the new file is in place and on the device.
bool SaveFileSafely(const std::string& path, const std::function<bool(platform::CFile&)>& writer);

// A name beside path, made of its file name and the suffix; a file name too long to take the
// suffix (and what SaveFileSafely adds to it) is shortened and marked with a hash of itself.
std::string CompanionPath(const std::string& path, const std::string& suffix);
// The start of the names of the temporary files that SaveFileSafely writes beside path.
std::string TemporaryPrefixFor(const std::string& path);
// The lock file that calibrations of the file at path share.
std::string LockPathFor(const std::string& path);
// The temporary files that saves of path left behind (a process killed while writing).
std::vector<std::string> LeftoverTemporaries(const std::string& path);

}  // namespace kavrel
