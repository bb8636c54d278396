// Chooses the rules of the offset calculation by the settings file.
#include "calibration/OffsetRules.h"

#include "calibration/BlockRules.h"
#include "calibration/PixelRules.h"
#include "platform/Settings.h"

namespace kavrel::offset {

unsigned ReadCalibrationRules() {
    return platform::GetProfileInt("Imaging", "CalibrationRules", kPixelRules);
}

void UpdateOffsetMap(CFrame& map, const CFrame& scan, const CBorderBox& box) {
    if (ReadCalibrationRules() == kBlockRules)
        UpdateOffsetMapByBlocks(map, scan, box);
    else
        UpdateOffsetMapByPixels(map, scan, box);
}

}  // namespace kavrel::offset
