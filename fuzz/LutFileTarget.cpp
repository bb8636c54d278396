// Fuzz target: the LUT file reader, then the table applied to a frame holding every byte value.
//
// Load either takes the file's table (count 1..256, as many entries as the count) or gives the
// default table. Apply replaces the samples that are indexes of the table and leaves the others;
// the frame computation's one-pass mapping must agree with Apply; a table saves and reloads
// unchanged.
#include <cstring>

#include "fuzz/FuzzSupport.h"
#include "image/BitmapImage.h"
#include "base/ByteIO.h"
#include "image/Frame.h"
#include "image/Lut.h"
#include "support/Planes.h"

namespace {

constexpr size_t kHeaderSize = 16;

bool Acceptable(const uint8_t* data, size_t size) {
    if (size < kHeaderSize) return false;
    const int32_t count = static_cast<int32_t>(kavrel::ReadLE32(data + 8));
    return count >= 1 && count <= 256 && size >= kHeaderSize + 2 * static_cast<size_t>(count);
}

bool SameTable(const CLut& a, const CLut& b) {
    if (a.m_nCount != b.m_nCount || a.m_nFirstInput != b.m_nFirstInput ||
        a.m_nLastInput != b.m_nLastInput || a.HasTable() != b.HasTable())
        return false;
    return !a.HasTable() || std::memcmp(a.m_pTable.get(), b.m_pTable.get(),
                                        2 * static_cast<size_t>(a.m_nCount)) == 0;
}

// Every byte value, then samples that are no index of any table (beyond 255, negative as
// signed 16-bit values).
const uint16_t kExtraSamples[] = {256, 300, 4095, 32767, 32768, 65535};
constexpr int32_t kSamples = 256 + sizeof kExtraSamples / sizeof kExtraSamples[0];

void FillEveryValue(CFrame& frame) {
    testing_support::PaintSamples(frame, kSamples, 1, [](int32_t i) {
        return i < 256 ? i : int32_t{kExtraSamples[i - 256]};
    });
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    CLut lut;
    lut.MakeLinear(100);  // a table from before, which Load must replace
    lut.Load(fuzzing::WriteScratchFile("input.lut", data, size));
    FUZZ_CHECK(lut.HasTable());
    FUZZ_CHECK(lut.m_nCount >= 1 && lut.m_nCount <= 256);
    if (Acceptable(data, size)) {
        FUZZ_CHECK(lut.m_nCount == static_cast<int32_t>(kavrel::ReadLE32(data + 8)));
        FUZZ_CHECK(lut.m_nFirstInput == static_cast<int16_t>(kavrel::ReadLE16(data + 12)));
        FUZZ_CHECK(lut.m_nLastInput == static_cast<int16_t>(kavrel::ReadLE16(data + 14)));
        FUZZ_CHECK(std::memcmp(lut.m_pTable.get(), data + kHeaderSize,
                               2 * static_cast<size_t>(lut.m_nCount)) == 0);
    } else {
        CLut fallback;
        fallback.MakeInverse(4095);
        FUZZ_CHECK(SameTable(lut, fallback));
    }

    // Apply: an index of the table takes its entry, anything else stays; a negative lowest input
    // value refuses the table.
    CFrame frame;
    FillEveryValue(frame);
    lut.Apply(frame);
    for (int32_t i = 0; i < kSamples; ++i) {
        const uint16_t before = i < 256 ? static_cast<uint16_t>(i) : kExtraSamples[i - 256];
        const int32_t index = static_cast<int16_t>(before);
        const bool mapped = lut.m_nFirstInput >= 0 && index >= 0 && index < lut.m_nCount;
        FUZZ_CHECK(frame.m_pData[i] ==
                   (mapped ? static_cast<uint16_t>(lut.m_pTable[index]) : before));
    }

    // The frame computation maps the bytes of an image the same way in one pass: a 32 x 32 image
    // whose blue bytes run through 0..255 at the pixels that position 3 takes.
    std::vector<uint8_t> pixels(32 * 32 * 3, 0);
    for (int32_t v = 0; v < 256; ++v)
        pixels[(2 * (v / 16)) * 96 + (2 * (v % 16)) * 3] = static_cast<uint8_t>(v);
    CBitmapImage image;
    image.Attach(32, 32, pixels.data());
    CFrame extracted, mapped;
    CFrame noOffsets;
    FUZZ_CHECK(extracted.ExtractSubPixel(image, 0, 3) == 0);
    FUZZ_CHECK(mapped.ExtractSubPixel(image, 0, 3, lut, noOffsets) == 0);
    lut.Apply(extracted);
    FUZZ_CHECK(std::memcmp(extracted.m_pData.get(), mapped.m_pData.get(), 2 * 256) == 0);

    // Saved and loaded again, the table is the same; a file taken whole saves to the same bytes.
    const std::string saved = fuzzing::ScratchPath("saved.lut");
    lut.Save(saved);
    const std::vector<uint8_t> bytes = testing_support::ReadBytes(saved);
    FUZZ_CHECK(bytes.size() == kHeaderSize + 2 * static_cast<size_t>(lut.m_nCount));
    FUZZ_CHECK(std::memcmp(bytes.data(), "LUTFILE", 8) == 0);
    if (Acceptable(data, size))
        FUZZ_CHECK(std::memcmp(bytes.data() + 8, data + 8, bytes.size() - 8) == 0);
    CLut reloaded;
    reloaded.Load(saved);
    FUZZ_CHECK(SameTable(reloaded, lut));
    return 0;
}
