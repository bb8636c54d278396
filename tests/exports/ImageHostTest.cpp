// Image files and host buffers handed to the library through its exports.
#include <gtest/gtest.h>

#include "exports/Library.h"
#include "support/Bitmaps.h"
#include "support/TestFiles.h"

using testing_support::BitmapFile;
using testing_support::BitmapLayout;
using testing_support::PatternByte;

namespace {

BitmapLayout Layout(int32_t width, int32_t height, uint16_t bitCount = 24) {
    BitmapLayout layout;
    layout.width = width;
    layout.height = height;
    layout.bitCount = bitCount;
    return layout;
}

std::vector<uint8_t> Truncated(std::vector<uint8_t> file, size_t cutBytes) {
    file.resize(file.size() - cutBytes);
    return file;
}

}  // namespace

TEST(ImageHost, SetImageFileReturnsTheLoadResult) {
    host::CKavrel& k = Library();
    testing_support::TempDir dir;
    struct Case {
        const char* name;
        std::vector<uint8_t> bytes;
        int code;
    };
    const Case cases[] = {
        {"good.bmp", BitmapFile(Layout(2560, 2048), PatternByte), 0},
        {"top-down.bmp", BitmapFile(Layout(6, -4), PatternByte), 0},
        {"text.bmp", {'n', 'o', 't', ' ', 'a', ' ', 'b', 'i', 't', 'm', 'a', 'p', '!', '!', '\n'}, 1},
        {"truncated.bmp", Truncated(BitmapFile(Layout(64, 64), PatternByte), 100), 2},
        {"palette.bmp", BitmapFile(Layout(16, 16, 8), PatternByte), 4},
        {"zero-width.bmp", BitmapFile(Layout(0, 16), PatternByte), 4},
    };
    for (const Case& c : cases) {
        testing_support::WriteBytes(dir.Path(c.name), c.bytes);
        EXPECT_EQ(k.SetImageFile(dir.Path(c.name).c_str()), c.code) << c.name;
    }
    EXPECT_EQ(k.SetImageFile(dir.Path("missing.bmp").c_str()), 1);
    k.CalcFrame(0);  // a refused image computes nothing, and crashes nothing
}

TEST(ImageHost, SetBitmapPointerTakesAHostBuffer) {
    host::CKavrel& k = Library();
    std::vector<uint8_t> pixels(2560 * 2048 * 3, 0x80);
    EXPECT_EQ(k.SetBitmapPointer(pixels.data()), pixels.data());
    for (int index = 0; index < 12; ++index) {
        k.SetColor(index / 4);
        k.SetPosition(index % 4);
        k.CalcFrame(index);
    }
    k.SetColor(0);
    k.SetPosition(0);
    k.SetBitmapPointer(nullptr);
}
