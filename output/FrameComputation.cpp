// Taking one colour byte of one pixel of every 2 x 2 block of the source image into a frame.
#include "output/FrameComputation.h"

#include "image/BitmapImage.h"
#include "image/Frame.h"

namespace {

// Offsets of the chosen pixel inside its 2 x 2 block; the stored rows run bottom-up, so dy = 1 is
// the upper row of the block. Every position other than 0, 1 and 2 is the lower left pixel.
void BlockOffsets(int32_t position, int32_t& dx, int32_t& dy) {
    switch (position) {
        case 0: dx = 0; dy = 1; break;
        case 1: dx = 1; dy = 1; break;
        case 2: dx = 1; dy = 0; break;
        default: dx = 0; dy = 0; break;
    }
}

}  // namespace

int32_t CFrame::ExtractSubPixel(const CBitmapImage& image, int32_t color, int32_t position) {
    const CBitmapInfoHeader& header = image.Header();
    if (header.biPlanes != 1) return kNotSinglePlane;
    if (header.biBitCount != 24) return kNot24Bit;
    if (header.biCompression != 0) return kCompressed;
    if (image.Pixels() == nullptr) return kNoPixels;
    if (header.biHeight < 0 || image.PixelBytes() < 0 || color < 0 || color > 2)
        return kUnusableSize;

    if (!Reallocate(header.biHeight / 2, header.biWidth / 2)) return kOutOfMemory;

    int32_t dx, dy;
    BlockOffsets(position, dx, dy);
    const size_t stride = static_cast<size_t>(CBitmapImage::RowStride(header.biWidth));
    const uint8_t* base = image.Pixels() + dy * stride + 3 * dx + color;
    uint16_t* out = m_pData.get();
    for (int32_t i = 0; i < m_nRows; ++i) {
        const uint8_t* in = base + 2 * static_cast<size_t>(i) * stride;
        for (int32_t j = 0; j < m_nCols; ++j) out[j] = in[6 * static_cast<size_t>(j)];
        out += m_nCols;
    }
    return kExtracted;
}
