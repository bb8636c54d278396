// The host's pictures of calibration results: the LUT before and after as an SVG plot, and an
// offset map in false colours.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "files/Files.h"
#include "pictures/Bitmap.h"

namespace host {

// The readings of a calibration and the aim that the gamma sets for them.
struct CReadingsPlot {
    std::vector<uint16_t> readings;  // 48, hundredths: reading 0 the reference, 1..46 the patches
    unsigned gamma = 180;            // hundredths, as the library's setting holds it
    std::string name;                // the readings file
};

// An SVG document plotting both tables (exposure over input), the new one with its step inputs;
// with readings, a second panel below draws each patch's density at its step's input against
// the density that the gamma law aims at there (the reference's density plus gamma x
// log10(255 / input)), so that a print that was off shows as readings off the aim.
std::string LutPlotSvg(const CLutTable& before, const CLutTable& after, const std::string& title,
                       const CReadingsPlot* readings = nullptr);

// The offset map as the display shows it (map row y on display line height - 1 - y): samples
// above 0 in red, below 0 in blue, 0 in white, full colour at +-scale.
CPicture OffsetMapPicture(const COffsetMap& map, int scale);

}  // namespace host
