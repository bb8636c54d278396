// Fuzz target: the bitmap reader, then a frame computed from whatever it left in the image.
//
// The image holds a good bitmap before the input is loaded into it, so that the inputs that
// are refused after the header was read (result 4, the old pixels kept under the new header)
// reach the frame computation too. The one-pass computation with a table and an offset map must
// agree with extraction, Apply and AddFrame done one after the other. The frame is then packed
// for the display in every delay-line mode.
#include <cstring>

#include "fuzz/FuzzSupport.h"
#include "image/BitmapImage.h"
#include "image/Frame.h"
#include "image/Lut.h"
#include "image/ExtractResult.h"
#include "support/Bitmaps.h"
#include "support/Planes.h"

namespace {

// A bottom-up 24-bit bitmap of 6 x 4 pixels whose bytes all differ.
std::vector<uint8_t> GoodBitmap() {
    std::vector<uint8_t> pixels(4 * 20);
    for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<uint8_t>((54 + i) * 7);
    return testing_support::BitmapFile(6, 4, pixels);
}

// A frame that holds samples from an earlier computation.
void MakeOldFrame(CFrame& frame) {
    testing_support::PaintSamples(frame, 3, 1, [](int32_t i) { return 4000 + i; });
}

bool IsOldFrame(const CFrame& frame) {
    return frame.HasData() && frame.m_nCols == 3 && frame.m_nRows == 1 && frame.m_nCount == 3 &&
           frame.m_pData[0] == 4000 && frame.m_pData[1] == 4001 && frame.m_pData[2] == 4002;
}

// The offset map for a frame of the given size: signed corrections that push some sums below 0
// and some above 4095.
void MakeOffsets(CFrame& offsets, int32_t cols, int32_t rows) {
    testing_support::PaintSamples(offsets, cols, rows,
                                  [](int32_t i) { return i * int64_t{977} % 9000 - 4500; });
}

bool SameSamples(const CFrame& a, const CFrame& b) {
    if (a.m_nCols != b.m_nCols || a.m_nRows != b.m_nRows || a.m_nCount != b.m_nCount) return false;
    if (a.HasData() != b.HasData()) return false;
    return !a.HasData() ||
           std::memcmp(a.m_pData.get(), b.m_pData.get(), 2 * static_cast<size_t>(a.m_nCount)) == 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string goodPath = fuzzing::WriteScratchFile("good.bmp", GoodBitmap());
    CBitmapImage image;
    FUZZ_CHECK(image.Load(goodPath) == CBitmapImage::kLoaded);

    const std::string path = fuzzing::WriteScratchFile("input.bmp", data, size);
    const int32_t loaded = image.Load(path);
    FUZZ_CHECK(loaded >= CBitmapImage::kLoaded && loaded <= CBitmapImage::kUnsupported);
    if (loaded == CBitmapImage::kLoaded)
        FUZZ_CHECK(image.Pixels() != nullptr && image.OwnsPixels());
    if (loaded == CBitmapImage::kTruncated || loaded == CBitmapImage::kOutOfMemory)
        FUZZ_CHECK(image.Pixels() == nullptr);
    if (loaded == CBitmapImage::kUnreadable || loaded == CBitmapImage::kUnsupported)
        FUZZ_CHECK(image.Pixels() != nullptr);  // the good image's pixels stay

    // The colour (3 is out of range) and the position come from the last byte of the input.
    const uint8_t choice = size > 0 ? data[size - 1] : 0;
    const int32_t color = choice & 3;
    const int32_t position = (choice >> 2) % 6 - 1;  // -1..4: every value past 2 acts as 3

    CFrame plain;
    MakeOldFrame(plain);
    const int32_t code = plain.ExtractSubPixel(image, color, position);
    FUZZ_CHECK(code >= kExtracted && code <= kUnusableSize && code != kOutOfMemory);
    if (code != kExtracted) {
        FUZZ_CHECK(IsOldFrame(plain));
    } else {
        const CBitmapInfoHeader& header = image.Header();
        FUZZ_CHECK(plain.HasData());
        FUZZ_CHECK(plain.m_nCols == header.biWidth / 2 && plain.m_nRows == header.biHeight / 2);
        FUZZ_CHECK(plain.m_nCount == plain.m_nCols * plain.m_nRows);
        for (int32_t i = 0; i < plain.m_nCount; ++i) FUZZ_CHECK(plain.m_pData[i] < 256);
    }

    // Without a table and without offsets the one-pass computation is the extraction alone.
    CLut noTable;
    CFrame noOffsets;
    CFrame bare;
    MakeOldFrame(bare);
    FUZZ_CHECK(bare.ExtractSubPixel(image, color, position, noTable, noOffsets) == code);
    FUZZ_CHECK(SameSamples(bare, plain));

    // With the default table and an offset map of the frame's size: the three steps in one.
    CLut table;
    table.MakeInverse(4095);
    CFrame offsets;
    if (code == kExtracted) MakeOffsets(offsets, plain.m_nCols, plain.m_nRows);
    CFrame combined;
    MakeOldFrame(combined);
    FUZZ_CHECK(combined.ExtractSubPixel(image, color, position, table, offsets) == code);
    if (code == kExtracted) {
        table.Apply(plain);
        plain.AddFrame(offsets);
        for (int32_t i = 0; i < combined.m_nCount; ++i) FUZZ_CHECK(combined.m_pData[i] <= 4095);
    }
    FUZZ_CHECK(SameSamples(combined, plain));

    fuzzing::PackInEveryDelayMode(combined);
    return 0;
}
