// The library driven through its exports, as the host drives it, onto a file display: shows one
// frame of an image and returns the exposure levels the display picture carries, and runs the
// offset calculation on a scan.
#pragma once

#include <string>

#include "library/Kavrel.h"
#include "support/HostRun.h"
#include "support/PrintSimulation.h"

namespace host_tests {

class CDarkroom {
public:
    explicit CDarkroom(const CFolder& folder);
    virtual ~CDarkroom() = default;

    // Frame (colour, position) of the image through the library's default table and the
    // offset file, as the display shows it.
    simulation::CExposure Expose(const std::string& image, const std::string& offset,
                                 int colour = 1, int position = 0);
    // CalcOffset on the scan with the default threshold and the correction factor (default 100);
    // the offset file is rewritten.
    void CalcOffset(const std::string& scan, const std::string& offset, int colour = 1);
    void SetCorrectionFactor(int factor) { m_nCorrectionFactor = factor; }
    // An offset file of zeros: the display without correction.
    void WriteZeroOffset(const std::string& offset) const;

    host::CKavrel& Library() { return m_Kavrel; }

private:
    const CFolder& m_Folder;
    host::CKavrel m_Kavrel;
    int m_nCorrectionFactor = 100;
};

}  // namespace host_tests
