// Earlier versions of a calibration file as a user asks for them: the list, and one put back.
// kavrel-host's history and restore and the shared host library run the same steps.
#pragma once

#include <string>
#include <vector>

#include "history/History.h"

namespace host {

// The kept versions of the file, newest first. Throws CHostError when the file is no regular file,
// or neither exists nor has earlier versions (most likely a mistyped name).
std::vector<CVersion> KeptVersions(const std::string& file);

struct CRestored {
    CVersion version;           // the version put back
    std::string description;    // what it holds: "LUT of 256 entries", "offset map of 1280 x 1024"
    bool replacedKept = false;  // the file it replaced is kept as the new version 1
};

// Puts earlier version number (1: the newest) back in place of the file in one step, keeping the
// file it replaces as the newest version, with the host's and the library's locks held. Throws
// CHostError, with the file as it was, when there is no such version or it cannot be put back.
CRestored RestoreVersion(const std::string& file, long long number);

}  // namespace host
