// Fuzz target: the files that the command-line host reads itself, before anything reaches the
// library: the picture to expose (a 24-bit bitmap), the densitometer readings (text or CSV), and
// the LUT and offset files it reports on. A bad file must end in CHostError, whose message the
// host prints; nothing else may come out. The host reads a bitmap, a LUT or an offset file by the
// library's rules: it takes exactly what the library takes, except a LUT or offset file that starts
// with the name of another kind of file, which it refuses as that kind.
//
// Input: a byte that chooses (bit 0: readings, bit 1 with it: readings as densities; otherwise
// bit 2: a LUT file, bit 3: an offset file, neither: a bitmap), then the file.
#include <cstdlib>
#include <cstring>
#include <vector>

#include "base/LutFile.h"
#include "base/OffsetFile.h"
#include "common/Errors.h"
#include "files/Files.h"
#include "fuzz/FuzzSupport.h"
#include "image/BitmapImage.h"
#include "image/Frame.h"
#include "image/Lut.h"
#include "pictures/Bitmap.h"
#include "readings/Readings.h"

namespace {

// Whether the file starts with the name of another kind of file than the one expected (a LUT,
// an offset file, a bitmap): the host refuses such a file, saying what it is, where the library,
// which does not look at the names, may read it all the same.
bool StartsAsAnotherKind(const std::string& path, const char* ownMagic, size_t ownSize) {
    const std::vector<uint8_t> bytes = host::ReadWholeFile(path);
    auto starts = [&](const char* magic, size_t size) {
        return bytes.size() >= size && std::memcmp(bytes.data(), magic, size) == 0;
    };
    if (starts(ownMagic, ownSize)) return false;
    return starts(kavrel::kLutFileMagic, sizeof kavrel::kLutFileMagic) ||
           starts(kavrel::kOffsetFileMagic, sizeof kavrel::kOffsetFileMagic) || starts("BM", 2);
}

// The host's table is the library's: the file's when the library takes it, else the default.
void CheckLutFile(const std::string& path) {
    if (StartsAsAnotherKind(path, kavrel::kLutFileMagic, sizeof kavrel::kLutFileMagic)) return;
    host::CLutTable table = host::DefaultLutTable();
    try {
        const host::CLutTable read = host::ParseLutFile(path, host::ReadWholeFile(path));
        if (read.entries.size() <= host::kLibraryMaxLutEntries) table = read;
    } catch (const host::CHostError&) {
    }
    CLut lut;
    lut.Load(path);
    FUZZ_CHECK(lut.HasTable() && static_cast<size_t>(lut.m_nCount) == table.entries.size());
    FUZZ_CHECK(lut.m_nFirstInput == table.firstInput && lut.m_nLastInput == table.lastInput);
    FUZZ_CHECK(std::memcmp(lut.m_pTable.get(), table.entries.data(), 2 * table.entries.size()) == 0);
}

// The host reads a map exactly when the library loads one, and the same one.
void CheckOffsetFile(const std::string& path) {
    if (StartsAsAnotherKind(path, kavrel::kOffsetFileMagic, sizeof kavrel::kOffsetFileMagic))
        return;
    CFrame plane;
    plane.Load(path);
    try {
        const host::COffsetMap map = host::ParseOffsetFile(path, host::ReadWholeFile(path));
        FUZZ_CHECK(plane.m_nCols == map.width && plane.m_nRows == map.height);
        FUZZ_CHECK(static_cast<size_t>(plane.m_nCount) == map.samples.size());
        FUZZ_CHECK(map.samples.empty() ||
                   std::memcmp(plane.m_pData.get(), map.samples.data(), 2 * map.samples.size()) == 0);
    } catch (const host::CHostError&) {
        FUZZ_CHECK(plane.m_nCount == 0 && plane.m_nCols == 0 && plane.m_nRows == 0 &&
                   !plane.HasData());
    }
}

// The host reads a bitmap exactly when the library loads uncompressed pixels from it (compressed
// ones load, but no frame or scan is made of them).
void CheckBitmap(const std::string& path) {
    CBitmapImage image;
    const bool usable =
        image.Load(path) == CBitmapImage::kLoaded && image.Header().biCompression == 0;
    try {
        const host::CPicture picture = host::ReadBitmap(path);
        FUZZ_CHECK(usable);
        FUZZ_CHECK(picture.Width() > 0 && picture.Height() > 0);
        FUZZ_CHECK(picture.Width() == image.Header().biWidth &&
                   picture.Height() == std::abs(image.Header().biHeight));
        // Written and read again, the picture is the same.
        const std::string copy = fuzzing::WriteScratchFile("copy.bmp", host::BitmapBytes(picture));
        const host::CPicture again = host::ReadBitmap(copy);
        FUZZ_CHECK(again.Width() == picture.Width() && again.Height() == picture.Height());
        for (int32_t y = 0; y < picture.Height(); ++y)
            FUZZ_CHECK(std::memcmp(again.Pixel(0, y), picture.Pixel(0, y),
                                   3 * static_cast<size_t>(picture.Width())) == 0);
    } catch (const host::CHostError&) {
        FUZZ_CHECK(!usable);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    const uint8_t choice = data[0];
    const std::string path = fuzzing::WriteScratchFile("input", data + 1, size - 1);
    if (choice & 1) {
        try {
            FUZZ_CHECK(host::ReadDensitometerFile(path, choice & 2).size() == host::kReadingCount);
        } catch (const host::CHostError&) {
        }
    } else if (choice & 4) {
        CheckLutFile(path);
    } else if (choice & 8) {
        CheckOffsetFile(path);
    } else {
        CheckBitmap(path);
    }
    return 0;
}
