// Loading image files and host buffers through the DLL.
#include "win32/Host.h"

namespace {

std::vector<uint8_t> Bitmap(int32_t width, int32_t height, uint16_t bitCount, size_t cutBytes) {
    const uint32_t stride = (static_cast<uint32_t>(width) * bitCount / 8 + 3) & ~3u;
    const uint32_t rows = static_cast<uint32_t>(height < 0 ? -height : height);
    const uint32_t palette = bitCount <= 8 ? 4u << bitCount : 0;
    const uint32_t offset = 54 + palette;
    std::vector<uint8_t> file(offset + stride * rows, 0x40);
    auto put32 = [&](size_t at, uint32_t v) { for (int i = 0; i < 4; ++i) file[at + i] = static_cast<uint8_t>(v >> (8 * i)); };
    file[0] = 'B';
    file[1] = 'M';
    put32(2, static_cast<uint32_t>(file.size()));
    put32(6, 0);
    put32(10, offset);
    put32(14, 40);
    put32(18, static_cast<uint32_t>(width));
    put32(22, static_cast<uint32_t>(height));
    put32(26, 1u | (static_cast<uint32_t>(bitCount) << 16));
    for (size_t at = 30; at < 54; at += 4) put32(at, 0);
    file.resize(file.size() - cutBytes);
    return file;
}

}  // namespace

HOST_CHECK(SetImageFileReturnsTheLoadResult) {
    const Kavrel& k = Library();
    HostTempDir dir;
    struct Case {
        const char* name;
        std::vector<uint8_t> bytes;
        int code;
    };
    const Case cases[] = {
        {"good.bmp", Bitmap(2560, 2048, 24, 0), 0},
        {"top-down.bmp", Bitmap(6, -4, 24, 0), 0},
        {"text.bmp", {'n', 'o', 't', ' ', 'a', ' ', 'b', 'i', 't', 'm', 'a', 'p', '!', '!', '\n'}, 1},
        {"truncated.bmp", Bitmap(64, 64, 24, 100), 2},
        {"palette.bmp", Bitmap(16, 16, 8, 0), 4},
        {"zero-width.bmp", Bitmap(0, 16, 24, 0), 4},
    };
    for (const Case& c : cases) {
        WriteFileBytes(dir.Path(c.name), c.bytes);
        EXPECT_EQ(k.SetImageFile(dir.Path(c.name).c_str()), c.code);
    }
    EXPECT_EQ(k.SetImageFile(dir.Path("missing.bmp").c_str()), 1);
    k.CalcFrame(0);  // a refused image computes nothing, and crashes nothing
}

HOST_CHECK(SetBitmapPointerTakesAHostBuffer) {
    const Kavrel& k = Library();
    std::vector<uint8_t> pixels(2560 * 2048 * 3, 0x80);
    EXPECT_TRUE(k.SetBitmapPointer(pixels.data()) == pixels.data());
    for (int index = 0; index < 12; ++index) {
        k.SetColor(index / 4);
        k.SetPosition(index % 4);
        k.CalcFrame(index);
    }
    k.SetColor(0);
    k.SetPosition(0);
    k.SetBitmapPointer(nullptr);
}
