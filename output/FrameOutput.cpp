// Drawing a frame on the output display.
#include "image/Frame.h"
#include "output/FramePacking.h"
#include "platform/DisplayContext.h"

void CFrame::Output(CDC& dc) const {
    kavrel::CPackedFrame packed;
    Output(dc, packed);
}

void CFrame::Output(CDC& dc, kavrel::CPackedFrame& buffer) const {
    if (!kavrel::CanPackFrame(*this)) return;
    uint8_t* packed = buffer.Reserve(kavrel::PackedFrameBytes(*this));
    if (packed == nullptr) return;
    // A frame smaller than the display leaves no trace of the previous picture around it.
    if (m_nCols < m_nNominalWidth || m_nRows < m_nNominalHeight)
        dc.FillSolidRect(0, 0, m_nNominalWidth, m_nNominalHeight, 0);
    kavrel::PackFrame(*this, packed);
    // Bottom-up: buffer row 0 becomes the bottom line of the drawn area, whose top is line 0.
    const CDibHeader header{40, m_nCols, m_nRows, 1, 24, kBiRgb, 0, 100, 100, 0, 0};
    dc.SetStretchBltMode(kColorOnColor);
    dc.StretchDIBits(0, 0, m_nCols, m_nRows, 0, 0, m_nCols, m_nRows, packed, header,
                     kDibRgbColors, kSrcCopy);
}
