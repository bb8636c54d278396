// What the host requires of the files that a command line names, checked before any work starts
// so that each fault is named with the option or argument that gave the file.
#pragma once

#include <string>

namespace host {

// Throws CHostError when path names a folder, a FIFO, a device or anything else that is no
// regular file; nothing when it names a regular file or nothing.
void RefuseSpecialFile(const std::string& path, const std::string& what);
// A file that must exist, for the option or argument that names it.
void RequireFile(const std::string& path, const std::string& what);
// A file the library is to write: its folder must exist.
void RequireFolderOf(const std::string& path, const std::string& what);
// A file the host writes in one format: a name with another extension is refused, so that a
// picture is never written under a name that promises another format.
void RequireExtension(const std::string& path, const std::string& extension,
                      const std::string& what);

}  // namespace host
