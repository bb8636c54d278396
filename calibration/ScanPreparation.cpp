// Preparing the scanned test exposure for the offset calculation: one colour byte of the scan
// into a plane, the edges of the exposed (dark) area, straightening it, and its border box.
#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>

#include "calibration/ColumnShift.h"
#include "calibration/CommonSteps.h"
#include "calibration/OffsetRules.h"
#include "calibration/Wrap32.h"
#include "base/MappedGather.h"
#include "image/BitmapImage.h"
#include "image/Frame.h"
#include "base/Allocation.h"
#include "image/Lut.h"
#include "image/QuarterTurn.h"
#include "image/ExtractResult.h"
#include "platform/File.h"

using namespace kavrel::wrap32;

namespace {

// A threshold of 0 means the default: everything darker than 3500 counts as exposed.
int32_t EdgeThreshold(int16_t threshold) { return threshold == 0 ? 3500 : threshold; }

// The line one eighth of the way from a to b: (7a + b) / 8.
int32_t OneEighthFrom(int32_t a, int32_t b) { return Div(Add(Mul(7, a), b), 8); }

// Shift of line `line` that straightens an edge which moves by `drift` over three quarters of
// `extent`, pivoting about line `pivot`: ((pivot - line) * drift * 4) / (3 * extent).
int32_t StraighteningShift(int32_t pivot, int32_t line, int32_t drift, int32_t extent) {
    return Div(Mul(Mul(Sub(pivot, line), drift), 4), Mul(3, extent));
}


// Whether LoadChannel can read byte `byte` of pixels that the header describes, as one of its
// result codes.
int32_t CheckChannel(const CBitmapInfoHeader& header, int64_t pixelBytes, bool hasPixels,
                     int32_t byte) {
    if (header.biPlanes != 1) return kNotSinglePlane;
    if (header.biBitCount != 24) return kNot24Bit;
    if (header.biCompression != 0) return kCompressed;
    if (!hasPixels) return kNoPixels;
    // Top-down rows (negative height) are refused as the frame computation refuses them, and a
    // byte outside the 3-byte pixel would read past the last pixel.
    if (header.biHeight < 0 || pixelBytes < 0 || byte < 0 || byte > 2) return kUnusableSize;
    return kExtracted;
}

int32_t CheckChannel(const CBitmapImage& image, int32_t byte) {
    return CheckChannel(image.Header(), image.PixelBytes(), image.Pixels() != nullptr, byte);
}

// What each byte becomes when the table is applied to it, as CLut::Apply does: its entry where the
// table applies to it, else itself.
void BuildScanByteMap(const CLut& table, uint16_t (&map)[256]) {
    const bool applies = table.HasTable() && table.m_nFirstInput >= 0;
    for (int32_t v = 0; v < 256; ++v)
        map[v] = static_cast<uint16_t>(applies && v < table.m_nCount ? table.m_pTable[v] : v);
}

// Turns the samples of stored rows y0 .. y1 - 1 (`firstRow` holds row y0) and columns x0 .. x1 - 1
// one by one: sample (x, y) goes to row x, column height - 1 - y.
void TurnMappedSamples(const uint8_t* firstRow, size_t stride, const uint16_t (&map)[256],
                       int32_t height, uint16_t* turned, int32_t x0, int32_t x1, int32_t y0,
                       int32_t y1) {
    for (int32_t y = y0; y < y1; ++y) {
        const uint8_t* in = firstRow + static_cast<size_t>(y - y0) * stride;
        uint16_t* column = turned + (height - 1 - y);
        for (int32_t x = x0; x < x1; ++x)
            column[static_cast<size_t>(x) * height] = map[in[3 * static_cast<size_t>(x)]];
    }
}

// Stored rows y .. y + rows - 1 (at most 8; `band` holds the first of them), one colour byte of
// every pixel through the byte map, turned clockwise a quarter into the plane of LoadChannel,
// Apply and Rotate90. The bands go up the image eight rows at a time across the whole width, in
// blocks of 8 x 8 where the processor has the vector operations: the rows are read as eight steady
// streams, and each turned row gets 16 bytes per band, so its cache line is complete after four
// bands and stays in the cache until then (a band touches one line of every turned row).
void TurnBand(const uint8_t* band, size_t stride, const uint16_t (&map)[256], int32_t width,
              int32_t height, int32_t y, int32_t rows, uint16_t* turned) {
    int32_t wholeWidth = 0;  // the part covered by 8 x 8 blocks
#ifdef __SSE2__
    if (rows == 8) {
        wholeWidth = width & ~7;
        const size_t dstride = static_cast<size_t>(height);
        uint16_t* column = turned + (height - 8 - y);
        for (int32_t x = 0; x < wholeWidth; x += 8) {
            __m128i r[8];
            for (int32_t k = 0; k < 8; ++k) {
                const uint8_t* in = band + k * stride + 3 * static_cast<size_t>(x);
                r[k] = kavrel::GatherEightMapped<3>(in, map);
            }
            kavrel::StoreTurnedEightByEight(r, column + x * dstride, dstride);
        }
    }
#endif
    TurnMappedSamples(band, stride, map, height, turned, wholeWidth, width, y, y + rows);
}

}  // namespace

int32_t CFrame::LoadChannel(const CBitmapImage& image, int32_t byte) {
    const int32_t code = CheckChannel(image, byte);
    if (code != kExtracted) return code;
    const CBitmapInfoHeader& header = image.Header();
    if (!Reallocate(header.biHeight, header.biWidth)) return kOutOfMemory;

    const size_t stride = static_cast<size_t>(CBitmapImage::RowStride(header.biWidth));
    const uint8_t* in = image.Pixels() + byte;
    uint16_t* out = m_pData.get();
    for (int32_t row = 0; row < m_nRows; ++row) {
        for (int32_t column = 0; column < m_nCols; ++column)
            out[column] = in[3 * static_cast<size_t>(column)];
        in += stride;
        out += m_nCols;
    }
    return kExtracted;
}

int32_t CFrame::LoadTurnedChannel(const CBitmapImage& image, int32_t byte, const CLut& table) {
    const int32_t code = CheckChannel(image, byte);
    if (code != kExtracted) return code;
    const CBitmapInfoHeader& header = image.Header();
    if (!Reallocate(header.biWidth, header.biHeight)) return kOutOfMemory;
    uint16_t map[256];
    BuildScanByteMap(table, map);
    const size_t stride = static_cast<size_t>(CBitmapImage::RowStride(header.biWidth));
    for (int32_t y = 0; y < header.biHeight; y += 8)
        TurnBand(image.Pixels() + byte + static_cast<size_t>(y) * stride, stride, map,
                 header.biWidth, header.biHeight, y, std::min(8, header.biHeight - y), m_pData.get());
    return kExtracted;
}

int32_t CFrame::ReadTurnedChannel(const std::string& path, int32_t byte, const CLut& table) {
    CBitmapImage image;
    platform::CFile file;
    int64_t bytes = 0;
    const int32_t opened = image.OpenPixels(path, file, bytes);
    if (opened != CBitmapImage::kLoaded) return kUnreadableFile;
    const CBitmapInfoHeader& header = image.Header();
    const int32_t code = CheckChannel(header, image.PixelBytes(), true, byte);
    if (code != kExtracted) return code;

    // Eight stored rows at a time through a small buffer: the scan never needs a buffer of its own
    // size, whose fresh pages would cost more than reading it. A scan of fewer rows needs only
    // those: eight rows of the widest scan would be 2 GB, more than a 32-bit process can have.
    const size_t stride = static_cast<size_t>(CBitmapImage::RowStride(header.biWidth));
    const size_t bandRows = static_cast<size_t>(std::min(8, header.biHeight));
    std::unique_ptr<uint8_t[]> band = kavrel::TryAllocate<uint8_t>(bandRows * stride);
    if (!band || !Reallocate(header.biWidth, header.biHeight)) return kOutOfMemory;
    uint16_t map[256];
    BuildScanByteMap(table, map);
    for (int32_t y = 0; y < header.biHeight; y += 8) {
        const int32_t rows = std::min(8, header.biHeight - y);
        const size_t size = static_cast<size_t>(rows) * stride;
        if (file.Read(band.get(), size) != size) return kUnreadableFile;
        TurnBand(band.get() + byte, stride, map, header.biWidth, header.biHeight, y, rows, m_pData.get());
    }
    return kExtracted;
}

namespace {

// The first and the last of count samples (get(i) for i = 0 .. count - 1) below the threshold;
// the last is looked for down to index 1 only. Either stays as it was when none is found.
template <class Sample>
void FindEdges(int32_t count, int32_t threshold, Sample get, int32_t& first, int32_t& last) {
    for (int32_t i = 0; i < count; ++i) {
        if (get(i) < threshold) {
            first = i;
            break;
        }
    }
    for (int32_t i = count - 1; i >= 1; --i) {
        if (get(i) < threshold) {
            last = i;
            break;
        }
    }
}

}  // namespace

void CFrame::FindRowEdges(int32_t y, int32_t& first, int32_t& last) const {
    FindEdges(m_nCols, EdgeThreshold(m_nEdgeThreshold), [&](int32_t x) { return GetPixel(x, y); },
              first, last);
}

void CFrame::FindColumnEdges(int32_t x, int32_t& first, int32_t& last) const {
    FindEdges(m_nRows, EdgeThreshold(m_nEdgeThreshold), [&](int32_t y) { return GetPixel(x, y); },
              first, last);
}

CBorderBox CFrame::GetBorderBox() const {
    CBorderBox box{0, 0, 0, 0};
    FindRowEdges(m_nRows / 2, box.left, box.right);
    FindColumnEdges(m_nCols / 2, box.top, box.bottom);
    return box;
}

void CFrame::CorrectGeometry() {
    const int32_t rows = m_nRows;
    const int32_t cols = m_nCols;
    int32_t left = 0, right = 0, top = 0, bottom = 0;
    FindRowEdges(rows / 2, left, right);
    FindColumnEdges(cols / 2, top, bottom);
    if (bottom - top < 1 || right - left < 1) {
        ShowError("Image Invalid");
        return;
    }

    // The left edge on two rows and the top edge on two columns, an eighth in from either end,
    // all measured before anything moves.
    int32_t leftA = 0, leftB = 0, topA = 0, topB = 0, unused = 0;
    FindRowEdges(OneEighthFrom(top, bottom), leftA, unused);
    FindRowEdges(OneEighthFrom(bottom, top), leftB, unused);
    FindColumnEdges(OneEighthFrom(left, right), topA, unused);
    FindColumnEdges(OneEighthFrom(right, left), topB, unused);

    // The rows pivot about half the column count and the columns about half the row count.
    const int32_t leftDrift = Sub(leftB, leftA);
    for (int32_t y = 0; y < rows; ++y)
        ShiftRow(StraighteningShift(cols / 2, y, leftDrift, bottom - top), y);
    const int32_t topDrift = Sub(topB, topA);
    kavrel::ShiftColumns(*this, [&](int32_t x) {
        return StraighteningShift(rows / 2, x, topDrift, right - left);
    });
}

void CFrame::CalcOffsetMap(CFrame& scan) {
    if (!HasData() || !scan.HasData()) return;

    // A turn that cannot get its buffer leaves the scan as it was; measuring that untouched scan
    // would write a transposed map, so the calculation ends here instead.
    const auto unturned = reinterpret_cast<std::uintptr_t>(scan.m_pData.get());
    scan.Rotate90();
    if (reinterpret_cast<std::uintptr_t>(scan.m_pData.get()) == unturned) return;
    CalcOffsetMapFromTurned(scan);
}

void CFrame::CalcOffsetMapFromTurned(CFrame& scan) {
    if (!HasData() || !scan.HasData()) return;
    scan.CorrectGeometry();
    const CBorderBox box = scan.GetBorderBox();
    if (!kavrel::offset::IsMeasurable(box, *this)) {
        ShowError("Image Invalid");
        return;
    }
    kavrel::offset::UpdateOffsetMap(*this, scan, box);
}
