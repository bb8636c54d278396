// The table or map a calibration starts from, read from its file before the library is called
// and checked as the calculation needs it, for kavrel-host's calibrations and the shared host
// library's alike.
#pragma once

#include <optional>
#include <string>

#include "files/Files.h"
#include "history/History.h"

namespace host {

// The table of the LUT file before the calculation, or the library's default table for a first
// calibration. Throws CHostError naming the file when it is no LUT file of 256 entries.
CLutTable OldLutTable(const std::string& lut, const CFileState& before);

// The map of the offset file before the calibration; nothing for a first calibration. Throws
// CHostError naming the file when it cannot be read or is no map of 1280 x 1024 samples.
std::optional<COffsetMap> OldOffsetMap(const std::string& offset, const CFileState& before);

}  // namespace host
