// Fuzz target: the files that the command-line host reads itself, before anything reaches the
// library: the picture to expose (a 24-bit bitmap) and the densitometer readings (text or CSV).
// A bad file must end in CHostError, whose message the host prints; nothing else may come out.
//
// Input: a byte that chooses (bit 0: readings, else a bitmap; bit 1: readings as densities),
// then the file.
#include <cstring>

#include "Bitmap.h"
#include "Errors.h"
#include "Readings.h"
#include "fuzz/FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    const bool readings = data[0] & 1;
    const bool densities = data[0] & 2;
    const std::string path = fuzzing::WriteScratchFile("input", data + 1, size - 1);
    try {
        if (readings) {
            FUZZ_CHECK(host::ReadDensitometerFile(path, densities).size() == host::kReadingCount);
            return 0;
        }
        const host::CPicture picture = host::ReadBitmap(path);
        FUZZ_CHECK(picture.Width() > 0 && picture.Height() > 0);
        // Written and read again, the picture is the same.
        const std::string copy = fuzzing::WriteScratchFile("copy.bmp", host::BitmapBytes(picture));
        const host::CPicture again = host::ReadBitmap(copy);
        FUZZ_CHECK(again.Width() == picture.Width() && again.Height() == picture.Height());
        for (int32_t y = 0; y < picture.Height(); ++y)
            FUZZ_CHECK(std::memcmp(again.Pixel(0, y), picture.Pixel(0, y),
                                   3 * static_cast<size_t>(picture.Width())) == 0);
    } catch (const host::CHostError&) {
    }
    return 0;
}
