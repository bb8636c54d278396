// CFrame: a plane of 16-bit samples. It holds the output frames (12-bit light levels), the offset
// map (signed corrections) and the working planes of the offset calculation, and it is the content
// of the offset file. Each operation says whether it reads samples as signed or unsigned.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "base/NonCopyable.h"

class CBitmapImage;
class CDC;
class CLut;
namespace kavrel {
class CPackedFrame;
}

struct CPoint {
    int32_t x;
    int32_t y;
};

// Inclusive box of the exposed area of a scan, in samples.
struct CBorderBox {
    int32_t left;
    int32_t top;
    int32_t right;
    int32_t bottom;
};

class CFrame : private kavrel::CNonCopyable {
public:
    CFrame();
    virtual ~CFrame();

    // The plane itself, the offset file and the settings (image/Frame.cpp).
    bool HasData() const { return m_pData != nullptr; }

    // Sample access by linear index y * m_nCols + x; outside the buffer reads 0 and writes nothing.
    int32_t GetPixel(int32_t x, int32_t y) const;
    void SetPixel(int32_t x, int32_t y, int32_t value);

    void Fill(int32_t value);
    void AddFrame(const CFrame& other);
    void AddConstant(int32_t value);
    int16_t Mean() const;
    void Rotate90();
    void SmoothDiagonal();
    void SmoothVertical();
    void ShiftRow(int32_t shift, int32_t row);
    void ShiftColumn(int32_t column, int32_t shift);

    // The offset file.
    void Load(std::string path);
    void Save(std::string path) const;

    void SetFileName(std::string name);
    void SetEdgeThreshold(int32_t threshold);
    void SetDelayLine(int32_t mode);
    void SetDelayShift(int32_t flag);
    void ShowError(std::string text) const;

    // Frame computation (output/FrameComputation.cpp): one colour byte of one pixel of every
    // 2 x 2 block of the image.
    int32_t ExtractSubPixel(const CBitmapImage& image, int32_t color, int32_t position);
    // The same, followed by what Apply of the table and AddFrame of the offsets would do, in one
    // pass over the image; a failed extraction applies neither.
    int32_t ExtractSubPixel(const CBitmapImage& image, int32_t color, int32_t position,
                            const CLut& lut, const CFrame& offsets);

    // Output (output/FrameOutput.cpp): packs the samples into 24-bit pixels and draws them on the
    // display context, in a buffer of its own or in one that the caller keeps for the next
    // drawing.
    void Output(CDC& dc) const;
    void Output(CDC& dc, kavrel::CPackedFrame& packed) const;

    // Offset calculation, scan preparation (calibration/ScanPreparation.cpp).
    int32_t LoadChannel(const CBitmapImage& image, int32_t byte);
    // What LoadChannel, Apply of the table and Rotate90 do one after the other, in one pass: the
    // plane ends up turned (as many rows as the image is wide). The buffer is kept when the sample
    // count stays the same.
    int32_t LoadTurnedChannel(const CBitmapImage& image, int32_t byte, const CLut& table);
    // The same read straight from a bitmap file, a few rows at a time, with the checks of
    // CBitmapImage::Load. A file that is not read to its end leaves the plane incomplete and
    // returns a code other than kExtracted.
    int32_t ReadTurnedChannel(const std::string& path, int32_t byte, const CLut& table);
    void FindRowEdges(int32_t y, int32_t& first, int32_t& last) const;
    void FindColumnEdges(int32_t x, int32_t& first, int32_t& last) const;
    CBorderBox GetBorderBox() const;
    void CorrectGeometry();
    // Called on the new map (filled, named after the offset file) with the prepared scan plane.
    void CalcOffsetMap(CFrame& scan);
    // The same with a scan plane that is already turned (LoadTurnedChannel's).
    void CalcOffsetMapFromTurned(CFrame& scan);

    // Offset calculation: the mark search (calibration/CommonSteps.cpp) and the block rules
    // (calibration/BlockRules.cpp).
    CPoint FindPeak(int32_t x, int32_t y, int32_t radius) const;
    void Resample(int32_t x0, int32_t y0, int32_t x1, int32_t y1, int32_t X0, int32_t Y0,
                  int32_t X1, int32_t Y1, const CFrame& source);
    void PatchSample(int32_t x, int32_t y);

    int32_t m_bShowErrors;
    std::string m_strFileName;
    int16_t m_nEdgeThreshold;
    int32_t m_nNominalHeight;
    int32_t m_nNominalWidth;
    int32_t m_nGridX;
    int32_t m_nGridY;
    int32_t m_nGridStepX;
    int32_t m_nGridStepY;
    int32_t m_nCount;
    int32_t m_nRows;
    int32_t m_nCols;
    int32_t m_nDelayLine;
    int32_t m_nDelayShift;
    std::unique_ptr<uint16_t[]> m_pData;

private:
    // Sets the size and makes the buffer hold that many uninitialised samples: the buffer it has
    // when the sample count stays the same, else a new one; false (and no data, the new size kept)
    // when that cannot be allocated.
    bool Reallocate(int32_t rows, int32_t cols);
    template <class Weights>
    void Smooth(Weights weights);
};
