// The image an exposure hands the library: a 2560 x 2048 24-bit bitmap placed unchanged as it
// is, any other photo prepared into a bitmap of its own, removed when the exposure ends.
#pragma once

#include <string>
#include <vector>

#include "photos/Photo.h"

namespace host {

// A 2560 x 2048 24-bit bitmap as CheckImage requires it, in a build that reads no other images:
// the failure says so.
void RequireFrameBitmap(const std::string& path);

class CExposureImage {
public:
    // Throws CHostError naming the file and the fault; nothing is written then.
    CExposureImage(const std::string& path, const CPhotoOptions& options);
    virtual ~CExposureImage();
    CExposureImage(const CExposureImage&) = delete;
    CExposureImage& operator=(const CExposureImage&) = delete;

    // The bitmap file to hand the library.
    const std::string& LibraryFile() const { return m_strLibraryFile; }
    const std::vector<std::string>& Report() const { return m_Report; }

private:
    std::string m_strFolder;  // the private folder of a prepared bitmap, or empty
    std::string m_strLibraryFile;
    std::vector<std::string> m_Report;
};

}  // namespace host
