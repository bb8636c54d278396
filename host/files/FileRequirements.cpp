#include "files/FileRequirements.h"

#include <cctype>
#include <filesystem>

#include "common/Errors.h"
#include "files/Files.h"
#include "files/Paths.h"

namespace host {

void RefuseSpecialFile(const std::string& path, const std::string& what) {
    std::error_code error;
    const std::filesystem::file_status status =
        std::filesystem::status(FsPath(path), error);
    if (std::filesystem::is_directory(status))
        throw CHostError(path + ": is a folder, not a file (" + what + ")");
    if (std::filesystem::exists(status) && !std::filesystem::is_regular_file(status))
        throw CHostError(path + ": is no regular file (a FIFO or a device?) (" + what + ")");
}

void RequireFile(const std::string& path, const std::string& what) {
    if (path.empty()) throw CUsageError(what + ": the file name is empty");
    RefuseSpecialFile(path, what);
    if (!FileExists(path)) throw CHostError(path + ": no such file (" + what + ")");
}

void RequireFolderOf(const std::string& path, const std::string& what) {
    if (path.empty()) throw CUsageError(what + ": the file name is empty");
    const std::filesystem::path folder = FsPath(path).parent_path();
    std::error_code error;
    if (!folder.empty() && !std::filesystem::is_directory(folder, error))
        throw CHostError(path + ": the folder " + NarrowPath(folder) + " does not exist (" + what +
                         ")");
}

void RequireExtension(const std::string& path, const std::string& extension,
                      const std::string& what) {
    std::string actual = NarrowPath(FsPath(path).extension());
    for (char& c : actual) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (!actual.empty() && actual != extension)
        throw CUsageError(what + " " + path + ": the file is written as " + extension +
                          ", not as " + actual);
}

}  // namespace host
