#include "support/Darkroom.h"

#include <stdexcept>

#include "files/Files.h"
#include "pictures/Bitmap.h"

namespace host_tests {

CDarkroom::CDarkroom(const CFolder& folder) : m_Folder(folder), m_Kavrel(LibraryPath()) {
    m_Kavrel.DisableErrorWindow(1);
}

simulation::CExposure CDarkroom::Expose(const std::string& image, const std::string& offset,
                                        int colour, int position) {
    const std::string shown = m_Folder.Path("shown.bmp");
    m_Kavrel.SetLutFile("");
    m_Kavrel.SetOffsetFile(offset.c_str());
    if (m_Kavrel.SetImageFile(image.c_str()) != 0) throw std::runtime_error("image not loaded");
    m_Kavrel.SetDeviceName(("file:" + shown).c_str());
    m_Kavrel.OpenOutputDevice();
    m_Kavrel.SetColor(colour);
    m_Kavrel.SetPosition(position);
    m_Kavrel.CalcFrame(0);
    m_Kavrel.OutputFrame(0);
    m_Kavrel.CloseOutputDevice();
    return simulation::UnpackDisplayPicture(host::ReadBitmap(shown));
}

void CDarkroom::CalcOffset(const std::string& scan, const std::string& offset, int colour) {
    m_Kavrel.SetOffsetFile(offset.c_str());
    m_Kavrel.SetScanFile(scan.c_str());
    m_Kavrel.SetThreshold(90);
    m_Kavrel.SetCorrectionFactor(m_nCorrectionFactor);
    m_Kavrel.CalcOffset(colour);
}

void CDarkroom::WriteZeroOffset(const std::string& offset) const {
    host::COffsetMap map;
    map.width = simulation::kWidth;
    map.height = simulation::kHeight;
    map.samples.assign(static_cast<size_t>(map.width) * map.height, 0);
    host::WriteFileSafely(offset, host::OffsetFileBytes(map));
}

}  // namespace host_tests
