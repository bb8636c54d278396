#include "history/Restore.h"

#include "base/LutFile.h"
#include "common/Errors.h"
#include "files/FileRequirements.h"
#include "files/Files.h"

namespace host {

namespace {

// What a kept version holds, in a few words; throws CHostError when it is no LUT or offset file.
std::string Describe(const std::string& path, const std::vector<uint8_t>& bytes) {
    if (kavrel::HasLutFileMagic(bytes))
        return "LUT of " + std::to_string(ParseLutFile(path, bytes).entries.size()) + " entries";
    const COffsetMap map = ParseOffsetFile(path, bytes);
    return "offset map of " + std::to_string(map.width) + " x " + std::to_string(map.height);
}

}  // namespace

std::vector<CVersion> KeptVersions(const std::string& file) {
    const CHistory history(file);
    std::vector<CVersion> versions = history.Versions();
    // A file that is gone keeps its history, from which restore brings it back; without either
    // the name is most likely mistyped.
    if (versions.empty() && !FileExists(ResolveLinks(file))) {
        RefuseSpecialFile(file, "history");
        throw CHostError(file + ": no such file, and no earlier versions kept (" +
                         history.Folder() + ")");
    }
    return versions;
}

CRestored RestoreVersion(const std::string& file, long long number) {
    RequireFolderOf(file, "restore");
    CCalibrationFile target(file, "restore", kMaxOffsetFileBytes);
    target.LockAgainstLibrary();
    const std::vector<CVersion> versions = CHistory(file).Versions();
    if (versions.empty()) throw CHostError(file + ": no earlier versions kept to restore");
    if (number < 1 || number > static_cast<long long>(versions.size()))
        throw CHostError(file + ": there " + (versions.size() == 1 ? "is" : "are") + " only " +
                         std::to_string(versions.size()) + " earlier version" +
                         (versions.size() == 1 ? "" : "s"));
    CRestored restored;
    restored.version = versions[static_cast<size_t>(number - 1)];
    const std::vector<uint8_t> bytes = ReadWholeFile(restored.version.path, kMaxOffsetFileBytes);
    restored.description = Describe(restored.version.path, bytes);

    target.KeepBefore();
    const CSaveResult saved = ReplaceFileDurably(target.Target(), bytes);
    target.Finish(saved != CSaveResult::Failed);
    if (saved == CSaveResult::Failed)
        throw CHostError(file + ": cannot be written; it is kept as it was");
    if (saved == CSaveResult::NotFlushed)
        throw CHostError(file + ": restored version " + std::to_string(number) +
                         NotFlushedReason());
    restored.replacedKept = target.Before().has_value();
    return restored;
}

}  // namespace host
