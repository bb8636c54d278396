// A photo made into the 2560 x 2048 24-bit frame that an exposure hands the library.
#pragma once

#include <string>
#include <vector>

#include "photos/Placement.h"
#include "pictures/Bitmap.h"

namespace host {

struct CPreparedPhoto {
    // A 2560 x 2048 24-bit bitmap placed unchanged goes to the library as it is, file and all;
    // frame then holds its pixels.
    bool passedThrough = false;
    CPicture frame;
    CPlacement placement;
    std::vector<std::string> report;  // what was found and done, one line each
};

// The options as a command line gives them, an empty text for one not given; throws CUsageError
// naming a malformed one and CHostError for a working profile that cannot be used.
CPhotoOptions MakePhotoOptions(bool fill, const std::string& crop, const std::string& area,
                               const std::string& rotate, int border,
                               const std::string& workingProfile);

// Throws CHostError naming the file and the fault.
CPreparedPhoto PreparePhoto(const std::string& path, const CPhotoOptions& options);

// A small picture of the frame (a quarter of its size) with the photo's place outlined.
CPicture PreviewPicture(const CPreparedPhoto& photo);

}  // namespace host
