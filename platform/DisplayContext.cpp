// CDC: a native display context or a file display, chosen by the device name.
#include "platform/DisplayContext.h"

#include "platform/FileDisplay.h"
#include "platform/NativeDisplay.h"

CDC::CDC() : m_hDC(0) {}

CDC::~CDC() { DeleteDC(); }

bool CDC::CreateDC(const CDisplayMode& mode) {
    DeleteDC();
    if (const std::optional<std::string> pattern = kavrel::FileDisplayPattern(mode.deviceName))
        m_pFileDisplay = platform::CFileDisplay::Open(*pattern, mode.width, mode.height);
    else
        m_hDC = platform::CreateNativeDC(mode);
    return HasDC();
}

void CDC::DeleteDC() {
    platform::DeleteNativeDC(m_hDC);
    m_hDC = 0;
    m_pFileDisplay.reset();
}

bool CDC::HasDC() const { return m_hDC != 0 || m_pFileDisplay != nullptr; }

void CDC::FillSolidRect(int32_t x, int32_t y, int32_t width, int32_t height, uint32_t colorRef) {
    if (m_pFileDisplay) m_pFileDisplay->FillSolidRect(x, y, width, height, colorRef);
    platform::FillNativeRect(m_hDC, x, y, width, height, colorRef);
}

int32_t CDC::SetStretchBltMode(int32_t mode) {
    if (m_pFileDisplay) return m_pFileDisplay->SetStretchBltMode(mode);
    return platform::SetNativeStretchBltMode(m_hDC, mode);
}

int32_t CDC::StretchDIBits(int32_t xDest, int32_t yDest, int32_t destWidth, int32_t destHeight,
                           int32_t xSrc, int32_t ySrc, int32_t srcWidth, int32_t srcHeight,
                           const void* bits, const CDibHeader& header, uint32_t usage,
                           uint32_t rop) {
    if (m_pFileDisplay)
        return m_pFileDisplay->StretchDIBits(xDest, yDest, destWidth, destHeight, xSrc, ySrc,
                                             srcWidth, srcHeight, bits, header, usage, rop);
    return platform::StretchNativeDIBits(m_hDC, xDest, yDest, destWidth, destHeight, xSrc, ySrc,
                                         srcWidth, srcHeight, bits, header, usage, rop);
}
