// The offset calculation by pixel rules: every map sample is measured at its own display pixel's
// place between the marks, the light that the print spreads around the marks and the edges is
// left out as far as it reaches, and only what the scan resolves above its noise changes the map.
#pragma once

#include "image/Frame.h"

namespace kavrel::offset {

// Everything after the border box: measure every sample at its place, repair what the marks' and
// edges' light reaches, keep what stands above the noise, smooth as configured, add the old map,
// repair the sum alike, remove the mean and save. The file stays as it was when a buffer is
// missing.
void UpdateOffsetMapByPixels(CFrame& map, const CFrame& scan, const CBorderBox& box);

}  // namespace kavrel::offset
