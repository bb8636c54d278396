// The host's pictures of calibration results: the LUT before and after as an SVG plot, and an
// offset map in false colours.
#pragma once

#include <string>

#include "files/Files.h"
#include "pictures/Bitmap.h"

namespace host {

// An SVG document plotting both tables (exposure over input), the new one with its step inputs.
std::string LutPlotSvg(const CLutTable& before, const CLutTable& after, const std::string& title);

// The offset map as the display shows it (map row y on display line height - 1 - y): samples
// above 0 in red, below 0 in blue, 0 in white, full colour at +-scale.
CPicture OffsetMapPicture(const COffsetMap& map, int scale);

}  // namespace host
