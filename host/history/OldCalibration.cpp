#include "history/OldCalibration.h"

#include "common/Errors.h"
#include "pictures/Targets.h"

namespace host {

CLutTable OldLutTable(const std::string& lut, const CFileState& before) {
    const CLutTable old = before.bytes ? ParseLutFile(lut, *before.bytes) : DefaultLutTable();
    if (before.bytes && old.entries.size() != 256)
        throw CHostError(lut + ": a LUT file of " + std::to_string(old.entries.size()) +
                         " entries; the calculation needs one of 256");
    return old;
}

std::optional<COffsetMap> OldOffsetMap(const std::string& offset, const CFileState& before) {
    if (FileExists(offset) && !before.bytes) throw CHostError(offset + ": cannot be read");
    if (!before.bytes) return std::nullopt;
    COffsetMap old = ParseOffsetFile(offset, *before.bytes);
    if (old.width != kDisplayWidth || old.height != kDisplayHeight)
        throw CHostError(offset + ": an offset map of " + std::to_string(old.width) + " x " +
                         std::to_string(old.height) + " samples, not 1280 x 1024");
    return old;
}

}  // namespace host
