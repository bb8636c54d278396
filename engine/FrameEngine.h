// CFrameEngine: the one object behind the exported functions. It owns the source image, the
// look-up table, the offset map, the twelve output frames, the output display and the settings.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "image/BitmapImage.h"
#include "image/Frame.h"
#include "image/Lut.h"
#include "output/FramePacking.h"
#include "platform/DisplayContext.h"
#include "base/NonCopyable.h"

class CFrameEngine : private kavrel::CNonCopyable {
public:
    static constexpr int32_t kFrameCount = 12;
    static constexpr int32_t kDensiValueCount = 48;

    CFrameEngine();
    virtual ~CFrameEngine();

    void ShowDialog();
    void SetDeviceName(const char* name);
    void SetLutFile(const char* path);
    void SetOffsetFile(const char* path);
    int32_t SetImageFile(const char* path);
    void SetScanFile(const char* path);
    int32_t SetColor(int32_t color);
    int32_t SetPosition(int32_t position);
    void OpenOutputDevice();
    void CloseOutputDevice();
    void CalcFrame(int32_t index);
    void OutputFrame(int32_t index);
    int32_t SetDelayLine(int32_t mode);
    int32_t SetDelayShift(int32_t flag);
    void CalcOffset(int32_t color);
    void* SetBitmapPointer(void* pixels);
    void OutputBlankFrame(int32_t value);
    void SetDensiValue(int32_t index, int32_t value);
    void CalcLut();
    int32_t SetCorrectionFactor(int32_t factor);
    int32_t SetThreshold(int32_t threshold);
    int32_t DisableErrorWindow(int32_t flag);

    // The text of the information box.
    std::string DialogText() const;

    int32_t m_bShowErrors;
    int32_t m_nThreshold;
    int32_t m_nCorrectionFactor;
    CWordArray m_DensiValues;
    std::string m_strScanFile;
    int32_t m_nPosition;
    std::array<CFrame, kFrameCount> m_Frames;
    CBitmapImage m_Image;
    CLut m_Lut;
    CFrame m_Offset;
    int32_t m_nHeight;
    int32_t m_nWidth;
    int32_t m_nDelayLine;
    int32_t m_nDelayShift;
    int32_t m_nColor;
    CDC m_OutputDC;
    std::string m_strImageFile;
    std::string m_strOffsetFile;
    std::string m_strLutFile;
    std::string m_strDeviceName;

private:
    // Kept from one drawing to the next while the output display is open: the packed pixels and
    // the uniform frame of OutputBlankFrame.
    kavrel::CPackedFrame m_Packed;
    CFrame m_Blank;
    // The turned scan plane of the offset calculation, kept for the next calibration.
    CFrame m_ScanPlane;

    static bool IsFrameIndex(int32_t index) { return index >= 0 && index < kFrameCount; }
};
