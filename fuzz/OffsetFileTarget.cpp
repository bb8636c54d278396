// Fuzz target: the offset file reader, then the plane operations on whatever it loaded.
//
// Load either takes the file whole (sizes and samples exactly as stored) or leaves the plane as
// it was; either way m_nCount == m_nRows * m_nCols and every sample can be read. A plane that
// was loaded saves to the same bytes (the magic aside, which Load does not compare). The magic's
// six bytes, which the reader ignores, steer the operations that follow; the plane is also packed
// for the display.
#include <cstring>

#include "fuzz/FuzzSupport.h"
#include "base/ByteIO.h"
#include "image/Frame.h"
#include "support/Planes.h"

namespace {

using testing_support::CopyPlane;

constexpr size_t kHeaderSize = 18;

void MakeOldPlane(CFrame& plane) {
    testing_support::PaintSamples(plane, 4, 4, [](int32_t i) { return 77 + i; });
}

bool SameSamples(const CFrame& a, const CFrame& b) {
    if (a.m_nCols != b.m_nCols || a.m_nRows != b.m_nRows || a.m_nCount != b.m_nCount) return false;
    if (a.HasData() != b.HasData()) return false;
    return !a.HasData() ||
           std::memcmp(a.m_pData.get(), b.m_pData.get(), 2 * static_cast<size_t>(a.m_nCount)) == 0;
}

// Every sample is read (so that a buffer shorter than m_nCount shows), and the invariant holds.
void CheckPlane(const CFrame& plane) {
    FUZZ_CHECK(plane.m_nCount == static_cast<int64_t>(plane.m_nRows) * plane.m_nCols);
    if (!plane.HasData()) return;
    int64_t sum = 0;
    for (int32_t i = 0; i < plane.m_nCount; ++i) sum += static_cast<int16_t>(plane.m_pData[i]);
    FUZZ_CHECK(plane.Mean() ==
               static_cast<int16_t>(plane.m_nCount == 0 ? 0 : sum / plane.m_nCount));
}

// The file the reader must accept: a whole header, sizes that are not negative, a count that is
// width x height, and at least as many samples as the count.
bool Acceptable(const uint8_t* data, size_t size) {
    if (size < kHeaderSize) return false;
    const int32_t count = static_cast<int32_t>(kavrel::ReadLE32(data + 6));
    const int32_t cols = static_cast<int32_t>(kavrel::ReadLE32(data + 10));
    const int32_t rows = static_cast<int32_t>(kavrel::ReadLE32(data + 14));
    // Maps of more than 4096 x 4096 samples are refused before anything is allocated.
    return count >= 0 && cols >= 0 && rows >= 0 && static_cast<int64_t>(cols) * rows == count &&
           count <= 4096 * 4096 && size >= kHeaderSize + 2 * static_cast<size_t>(count);
}

void ExerciseOperations(CFrame& plane, const uint8_t* steer) {
    const int32_t x = static_cast<int8_t>(steer[0]);
    const int32_t y = static_cast<int8_t>(steer[1]);
    const int32_t shift = static_cast<int8_t>(steer[2]);
    const int32_t w = plane.m_nCols, h = plane.m_nRows;

    // Sample access checks the linear index only, and never reaches outside the buffer.
    const int64_t index = static_cast<int64_t>(y) * w + x;
    const bool inside = index >= 0 && index < plane.m_nCount;
    plane.SetPixel(x, y, 0x1234);
    FUZZ_CHECK(plane.GetPixel(x, y) == (inside ? 0x1234 : 0));

    // Two quarter turns give the half turn: (x, y) goes to (w - 1 - x, h - 1 - y).
    CFrame turned;
    CopyPlane(plane, turned);
    turned.Rotate90();
    FUZZ_CHECK(turned.m_nCols == h && turned.m_nRows == w);
    turned.Rotate90();
    FUZZ_CHECK(turned.m_nCols == w && turned.m_nRows == h);
    for (int32_t i = 0; i < plane.m_nCount; ++i) {
        const int32_t c = i % w, r = i / w;
        FUZZ_CHECK(turned.GetPixel(w - 1 - c, h - 1 - r) == plane.GetPixel(c, r));
    }

    // Smoothing keeps the border.
    CFrame smoothed;
    CopyPlane(plane, smoothed);
    if (steer[3] & 1)
        smoothed.SmoothDiagonal();
    else
        smoothed.SmoothVertical();
    CheckPlane(smoothed);
    for (int32_t i = 0; i < plane.m_nCount; ++i) {
        const int32_t c = i % w, r = i / w;
        if (r == 0 || c == 0 || r == h - 1 || c == w - 1)
            FUZZ_CHECK(smoothed.GetPixel(c, r) == plane.GetPixel(c, r));
    }

    // Shifts, also by rows and columns outside the plane, which change nothing.
    plane.ShiftRow(shift, y);
    plane.ShiftColumn(x, shift);
    CheckPlane(plane);

    // Adding a plane of the same size clamps every sum to 0..4095.
    plane.AddConstant(static_cast<int8_t>(steer[4]) * 1000);
    CFrame sum;
    CopyPlane(plane, sum);
    sum.AddFrame(smoothed);
    for (int32_t i = 0; i < sum.m_nCount; ++i) FUZZ_CHECK(sum.m_pData[i] <= 4095);
    CheckPlane(sum);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    CFrame plane;
    MakeOldPlane(plane);
    CFrame old;
    CopyPlane(plane, old);

    plane.Load(fuzzing::WriteScratchFile("input.frm", data, size));
    CheckPlane(plane);
    if (!Acceptable(data, size)) {
        FUZZ_CHECK(SameSamples(plane, old));
        return 0;
    }
    FUZZ_CHECK(plane.HasData());
    FUZZ_CHECK(plane.m_nCount == static_cast<int32_t>(kavrel::ReadLE32(data + 6)));
    FUZZ_CHECK(plane.m_nCols == static_cast<int32_t>(kavrel::ReadLE32(data + 10)));
    FUZZ_CHECK(plane.m_nRows == static_cast<int32_t>(kavrel::ReadLE32(data + 14)));
    const size_t fileSize = kHeaderSize + 2 * static_cast<size_t>(plane.m_nCount);
    FUZZ_CHECK(std::memcmp(plane.m_pData.get(), data + kHeaderSize, fileSize - kHeaderSize) == 0);

    // Saved again, the plane is the input with the magic put right and nothing after the samples.
    const std::string saved = fuzzing::ScratchPath("saved.frm");
    plane.Save(saved);
    const std::vector<uint8_t> bytes = testing_support::ReadBytes(saved);
    FUZZ_CHECK(bytes.size() == fileSize);
    FUZZ_CHECK(std::memcmp(bytes.data(), "FRAME", 6) == 0);
    FUZZ_CHECK(std::memcmp(bytes.data() + 6, data + 6, fileSize - 6) == 0);
    CFrame reloaded;
    reloaded.Load(saved);
    FUZZ_CHECK(SameSamples(reloaded, plane));

    fuzzing::PackInEveryDelayMode(plane);

    ExerciseOperations(plane, data);
    return 0;
}
