// The kavrel library loaded at run time, with its 22 exported functions resolved by name.
#pragma once

#include <string>

#include "kavrel.h"

namespace host {

class CKavrel {
public:
    // Loads the library from path, or, when path is empty, the library beside the program.
    // Throws CHostError naming the file when it cannot be loaded or lacks an export.
    explicit CKavrel(const std::string& path);
    virtual ~CKavrel();
    CKavrel(const CKavrel&) = delete;
    CKavrel& operator=(const CKavrel&) = delete;

    // The library's path as the host loaded it.
    const std::string& Path() const { return m_strPath; }

    // The path the host loads when no --library is given.
    static std::string DefaultPath();

    decltype(&::ShowDialog) ShowDialog = nullptr;
    decltype(&::SetDeviceName) SetDeviceName = nullptr;
    decltype(&::SetLutFile) SetLutFile = nullptr;
    decltype(&::SetOffsetFile) SetOffsetFile = nullptr;
    decltype(&::SetImageFile) SetImageFile = nullptr;
    decltype(&::SetScanFile) SetScanFile = nullptr;
    decltype(&::SetColor) SetColor = nullptr;
    decltype(&::SetPosition) SetPosition = nullptr;
    decltype(&::OpenOutputDevice) OpenOutputDevice = nullptr;
    decltype(&::CloseOutputDevice) CloseOutputDevice = nullptr;
    decltype(&::CalcFrame) CalcFrame = nullptr;
    decltype(&::OutputFrame) OutputFrame = nullptr;
    decltype(&::SetDelayLine) SetDelayLine = nullptr;
    decltype(&::SetDelayShift) SetDelayShift = nullptr;
    decltype(&::CalcOffset) CalcOffset = nullptr;
    decltype(&::SetBitmapPointer) SetBitmapPointer = nullptr;
    decltype(&::OutputBlankFrame) OutputBlankFrame = nullptr;
    decltype(&::SetDensiValue) SetDensiValue = nullptr;
    decltype(&::CalcLut) CalcLut = nullptr;
    decltype(&::SetCorrectionFactor) SetCorrectionFactor = nullptr;
    decltype(&::SetThreshold) SetThreshold = nullptr;
    decltype(&::DisableErrorWindow) DisableErrorWindow = nullptr;

private:
    template <class Function>
    void Resolve(Function& function, const char* name);

    std::string m_strPath;
    void* m_pLibrary;
};

}  // namespace host
