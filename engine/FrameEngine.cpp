#include "engine/FrameEngine.h"

#include <cstdio>

#include "image/ExtractResult.h"
#include "platform/SafeSave.h"
#include "platform/File.h"
#include "platform/MessageBox.h"
#include "base/NonCopyable.h"

namespace {

std::string StringOrEmpty(const char* s) { return s != nullptr ? std::string(s) : std::string(); }

// How long a calibration waits for another one of the same file before it gives up.
constexpr unsigned kCalibrationWaitMs = 30000;

// Holds the lock of one calibration file from reading the old table or map to replacing the file,
// so that a second calibration of the file waits and then builds on the first one's result.
// Ready() is false, after a message when errors are shown, when the calculation must write
// nothing: the lock could not be had, or an existing file cannot be read or is no regular file
// (only a file that does not exist is a first calibration) or may not be replaced.
class CCalibrationFile : private kavrel::CNonCopyable {
public:
    CCalibrationFile(const std::string& path, const char* what, int32_t showErrors)
        : m_bReady(false) {
        // An empty name writes nothing anyway; the calculation finds that out itself.
        if (path.empty()) {
            m_bReady = true;
            return;
        }
        const std::string target = platform::ResolveLinks(path);
        // Where no lock file can be made (a missing or read-only folder) no new file could be
        // written either, and the calculation ends as a failed write does, without a message.
        if (!m_Lock.Acquire(kavrel::LockPathFor(target), kCalibrationWaitMs)) {
            if (m_Lock.TimedOut())
                Refuse(showErrors, std::string("Another calibration of the ") + what +
                                       " is still running; nothing was written:\n" + path);
            return;
        }
        for (const std::string& leftover : kavrel::LeftoverTemporaries(target))
            platform::RemoveFile(leftover);
        switch (platform::ProbeFile(target)) {
            case platform::FileKind::Unreadable:
                Refuse(showErrors, std::string("The ") + what + " cannot be read:\n" + path);
                return;
            case platform::FileKind::Other:
                Refuse(showErrors, std::string("The ") + what + " is no regular file:\n" + path);
                return;
            case platform::FileKind::Regular:
                if (platform::IsWriteProtected(target)) {
                    Refuse(showErrors, std::string("The ") + what + " is write-protected:\n" + path);
                    return;
                }
                break;
            case platform::FileKind::Missing:
                break;
        }
        m_bReady = true;
    }
    virtual ~CCalibrationFile() = default;

    bool Ready() const { return m_bReady; }

private:
    static void Refuse(int32_t showErrors, const std::string& text) {
        if (showErrors == 1) platform::ShowMessageBox(text, platform::MessageStyle::Failure);
    }

    platform::CFileLock m_Lock;
    bool m_bReady;
};

}  // namespace

CFrameEngine::CFrameEngine()
    : m_bShowErrors(1),
      m_nThreshold(90),
      m_nCorrectionFactor(100),
      m_DensiValues(kDensiValueCount, 0),
      m_nPosition(0),
      m_nHeight(1024),
      m_nWidth(1280),
      m_nDelayLine(0),
      m_nDelayShift(0),
      m_nColor(0) {}

// The output display goes first; the members follow in reverse order of declaration.
CFrameEngine::~CFrameEngine() { CloseOutputDevice(); }

std::string CFrameEngine::DialogText() const {
    char color[32];
    std::snprintf(color, sizeof color, "color = %d\n", static_cast<int>(m_nColor));
    return m_strDeviceName + "\n" + m_strLutFile + "\n" + m_strOffsetFile + "\n" + color;
}

void CFrameEngine::ShowDialog() {
    platform::ShowMessageBox(DialogText(), platform::MessageStyle::Information);
}

void CFrameEngine::SetDeviceName(const char* name) { m_strDeviceName = StringOrEmpty(name); }

void CFrameEngine::SetLutFile(const char* path) {
    m_strLutFile = StringOrEmpty(path);
    m_Lut.Load(m_strLutFile);
}

void CFrameEngine::SetOffsetFile(const char* path) {
    m_strOffsetFile = StringOrEmpty(path);
    m_Offset.Load(m_strOffsetFile);
}

int32_t CFrameEngine::SetImageFile(const char* path) {
    m_strImageFile = StringOrEmpty(path);
    return m_Image.Load(m_strImageFile);
}

void CFrameEngine::SetScanFile(const char* path) { m_strScanFile = StringOrEmpty(path); }

int32_t CFrameEngine::SetColor(int32_t color) {
    if (color >= 0 && color <= 2) m_nColor = color;
    return m_nColor;
}

int32_t CFrameEngine::SetPosition(int32_t position) { return m_nPosition = position; }

int32_t CFrameEngine::SetDelayLine(int32_t mode) { return m_nDelayLine = mode; }

int32_t CFrameEngine::SetDelayShift(int32_t flag) { return m_nDelayShift = flag; }

int32_t CFrameEngine::SetCorrectionFactor(int32_t factor) { return m_nCorrectionFactor = factor; }

int32_t CFrameEngine::SetThreshold(int32_t threshold) { return m_nThreshold = threshold; }

int32_t CFrameEngine::DisableErrorWindow(int32_t flag) { return m_bShowErrors = flag == 0 ? 1 : 0; }

void CFrameEngine::SetDensiValue(int32_t index, int32_t value) {
    if (index >= 0 && index < kDensiValueCount) m_DensiValues[index] = static_cast<uint16_t>(value);
}

void* CFrameEngine::SetBitmapPointer(void* pixels) {
    return m_Image.Attach(2 * m_nWidth, 2 * m_nHeight, static_cast<uint8_t*>(pixels));
}

void CFrameEngine::CalcFrame(int32_t index) {
    if (!IsFrameIndex(index)) return;
    CFrame& frame = m_Frames[index];
    // Extraction, the table and the offset map in one pass. A frame that could not be extracted
    // may still hold light levels from before; those are no table indexes, so it stays as it was.
    frame.ExtractSubPixel(m_Image, m_nColor, m_nPosition, m_Lut, m_Offset);
}

void CFrameEngine::OpenOutputDevice() {
    CDisplayMode mode{m_strDeviceName, m_nWidth, m_nHeight, 32, 60};
    m_OutputDC.DeleteDC();
    if (!m_OutputDC.CreateDC(mode) && m_bShowErrors == 1)
        platform::ShowMessageBox("Can\xB4t open Output Display", platform::MessageStyle::Failure);
}

// Closing the display also returns the memory kept for drawing on it.
void CFrameEngine::CloseOutputDevice() {
    m_OutputDC.DeleteDC();
    m_Packed.Release();
    m_Blank.m_pData.reset();
}

void CFrameEngine::OutputFrame(int32_t index) {
    if (!IsFrameIndex(index)) return;
    CFrame& frame = m_Frames[index];
    frame.SetDelayLine(m_nDelayLine);
    frame.SetDelayShift(m_nDelayShift);
    frame.Output(m_OutputDC, m_Packed);
}

void CFrameEngine::OutputBlankFrame(int32_t value) {
    m_Blank.Fill(value);
    m_Blank.Output(m_OutputDC, m_Packed);
}

void CFrameEngine::CalcLut() {
    const CCalibrationFile file(m_strLutFile, "LUT file", m_bShowErrors);
    if (!file.Ready()) return;
    CLut oldLut;
    oldLut.m_bShowErrors = m_bShowErrors;
    oldLut.Load(m_strLutFile);
    CLut newLut;
    newLut.m_bShowErrors = m_bShowErrors;
    newLut.CalcFromDensiValues(oldLut, m_DensiValues);
    newLut.Save(m_strLutFile);
}

void CFrameEngine::CalcOffset(int32_t color) {
    const CCalibrationFile file(m_strOffsetFile, "offset file", m_bShowErrors);
    if (!file.Ready()) return;
    CFrame newMap;
    CLut scaling;
    newMap.m_bShowErrors = m_bShowErrors;
    m_ScanPlane.m_bShowErrors = m_bShowErrors;
    newMap.Fill(999);
    // Products wrap as 32-bit arithmetic does; the table and the threshold take the low 16 bits.
    const uint32_t step = static_cast<uint32_t>(m_nCorrectionFactor) * 20u;
    scaling.MakeLinear(static_cast<int16_t>(step));
    // Without its table the scan would be measured as raw bytes against a threshold meant for
    // scaled samples, and a meaningless map would replace the offset file.
    if (!scaling.HasTable()) return;
    // The colour byte, scaled by the table and turned, read from the file in one pass into the
    // plane kept from the last calibration. A scan that cannot be read ends the call here, so
    // that a plane of an earlier or incomplete scan is never measured.
    if (m_ScanPlane.ReadTurnedChannel(m_strScanFile, color, scaling) != kExtracted) return;
    const int32_t product =
        static_cast<int32_t>(static_cast<uint32_t>(m_nThreshold) * static_cast<uint32_t>(m_nCorrectionFactor) * 20u);
    m_ScanPlane.SetEdgeThreshold(product / 100);
    newMap.SetFileName(m_strOffsetFile);
    newMap.CalcOffsetMapFromTurned(m_ScanPlane);
}
