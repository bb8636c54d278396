#include <gtest/gtest.h>

#include <cstring>

#include "base/Allocation.h"
#include "image/BitmapImage.h"
#include "support/Bitmaps.h"
#include "support/Hooks.h"
#include "support/TestFiles.h"

using namespace testing_support;

namespace {

struct LoadCase {
    const char* name;
    std::vector<uint8_t> bytes;  // empty: no file at all
    int32_t code;
};

std::vector<uint8_t> Truncated(std::vector<uint8_t> bytes, size_t keep) {
    bytes.resize(keep);
    return bytes;
}

std::vector<uint8_t> WithHeight(BitmapLayout layout, int32_t claimedHeight) {
    // The header claims more rows than the pixel data holds.
    std::vector<uint8_t> file = BitmapFile(layout, PatternByte);
    std::memcpy(&file[22], &claimedHeight, 4);
    return file;
}

// Loads a width x height file of the pattern whose header is headerSize bytes long.
int32_t LoadWithHeaderSize(CBitmapImage& image, int32_t width, int32_t height,
                           uint32_t headerSize) {
    TempDir dir;
    BitmapLayout layout{width, height};
    layout.headerSize = headerSize;
    WriteBytes(dir.Path("image.bmp"), BitmapFile(layout, PatternByte));
    return image.Load(dir.Path("image.bmp"));
}

}  // namespace

TEST(BitmapImage, LoadResultCodes) {
    TempDir dir;
    const BitmapLayout good{6, 4};
    BitmapLayout v5 = good;
    v5.headerSize = 124;
    BitmapLayout palette = good;
    palette.bitCount = 8;
    BitmapLayout zeroWidth = good;
    zeroWidth.width = 0;
    BitmapLayout zeroHeight = good;
    zeroHeight.height = 0;
    BitmapLayout topDown = good;
    topDown.height = -4;
    BitmapLayout twoPlanes = good;
    twoPlanes.planes = 2;
    const std::vector<uint8_t> goodFile = BitmapFile(good, PatternByte);
    const std::vector<LoadCase> cases = {
        {"24-bit, 40-byte header", goodFile, 0},
        {"24-bit, 124-byte header", BitmapFile(v5, PatternByte), 0},
        {"top-down rows", BitmapFile(topDown, PatternByte), 0},
        {"missing file", {}, 1},
        {"text file", {'h', 'e', 'l', 'l', 'o', ' ', 'w', 'o', 'r', 'l', 'd', '!', '!', '!', '\n'}, 1},
        {"shorter than the file header", Truncated(goodFile, 10), 1},
        {"truncated information header", Truncated(goodFile, 30), 1},
        {"8-bit palette", BitmapFile(palette, PatternByte), 4},
        {"two planes", BitmapFile(twoPlanes, PatternByte), 4},
        {"zero width", BitmapFile(zeroWidth, PatternByte), 4},
        {"zero height", BitmapFile(zeroHeight, PatternByte), 4},
        {"truncated pixel data", Truncated(goodFile, goodFile.size() - 1), 2},
        {"header promises more rows", WithHeight(good, 5000), 2},
        {"no pixel data", Truncated(goodFile, 54), 2},
    };
    for (const LoadCase& c : cases) {
        const std::string path = dir.Path("image.bmp");
        std::filesystem::remove(path);
        if (!c.bytes.empty()) WriteBytes(path, c.bytes);
        CBitmapImage image;
        EXPECT_EQ(image.Load(path), c.code) << c.name;
        EXPECT_EQ(image.Pixels() != nullptr, c.code == 0) << c.name;
    }
    // A width whose rows cannot be held, without writing gigabytes: only the header matters.
    std::vector<uint8_t> overflow = Truncated(goodFile, 54);
    const int32_t width = 0x7FFFFFF0;
    std::memcpy(&overflow[18], &width, 4);
    WriteBytes(dir.Path("huge.bmp"), overflow);
    CBitmapImage image;
    EXPECT_EQ(image.Load(dir.Path("huge.bmp")), 4);
}

TEST(BitmapImage, LoadKeepsThePixelsAndTheFirst40HeaderBytes) {
    CBitmapImage image;
    ASSERT_EQ(LoadWithHeaderSize(image, 5, 3, 124), 0);
    EXPECT_EQ(image.Header().biSize, 124u);
    EXPECT_EQ(image.Header().biWidth, 5);
    EXPECT_EQ(image.Header().biHeight, 3);
    EXPECT_EQ(image.Header().biBitCount, 24);
    EXPECT_EQ(image.Header().biClrImportant, 0u);
    EXPECT_TRUE(image.OwnsPixels());
    const std::vector<uint8_t> expected = PixelArray(5, 3, PatternByte);
    EXPECT_EQ(std::vector<uint8_t>(image.Pixels(), image.Pixels() + expected.size()), expected);
}

TEST(BitmapImage, FailedLoadsLeaveWhatTheirCodeSays) {
    TempDir dir;
    WriteBytes(dir.Path("good.bmp"), BitmapFile(BitmapLayout{4, 2}, PatternByte));
    BitmapLayout palette{8, 8};
    palette.bitCount = 8;
    WriteBytes(dir.Path("palette.bmp"), BitmapFile(palette, PatternByte));
    std::vector<uint8_t> truncated = BitmapFile(BitmapLayout{6, 6}, PatternByte);
    truncated.resize(truncated.size() - 7);
    WriteBytes(dir.Path("truncated.bmp"), truncated);

    CBitmapImage image;
    ASSERT_EQ(image.Load(dir.Path("good.bmp")), 0);
    const uint8_t* pixels = image.Pixels();
    EXPECT_EQ(image.Load(dir.Path("missing.bmp")), 1);
    EXPECT_EQ(image.Pixels(), pixels);
    EXPECT_EQ(image.Header().biWidth, 4);

    // Not 24-bit: the old pixels stay, the header already describes the rejected file.
    EXPECT_EQ(image.Load(dir.Path("palette.bmp")), 4);
    EXPECT_EQ(image.Pixels(), pixels);
    EXPECT_EQ(image.Header().biBitCount, 8);

    EXPECT_EQ(image.Load(dir.Path("truncated.bmp")), 2);
    EXPECT_EQ(image.Pixels(), nullptr);
    EXPECT_EQ(image.Header().biWidth, 6);

    {
        AllocationFailure failure(1);
        EXPECT_EQ(image.Load(dir.Path("good.bmp")), 3);
    }
    EXPECT_EQ(image.Pixels(), nullptr);
    EXPECT_EQ(image.Header().biWidth, 4);
}

TEST(BitmapImage, CoreHeaderIsConvertedToTheInformationHeader) {
    CBitmapImage image;
    ASSERT_EQ(LoadWithHeaderSize(image, 6, 2, 12), 0);
    EXPECT_EQ(image.Header().biWidth, 6);
    EXPECT_EQ(image.Header().biHeight, 2);
    EXPECT_EQ(image.Header().biCompression, 0u);
    const std::vector<uint8_t> expected = PixelArray(6, 2, PatternByte);
    EXPECT_EQ(std::vector<uint8_t>(image.Pixels(), image.Pixels() + expected.size()), expected);
}

TEST(BitmapImage, AttachBorrowsTheHostBuffer) {
    TempDir dir;
    WriteBytes(dir.Path("good.bmp"), BitmapFile(BitmapLayout{4, 2}, PatternByte));
    std::vector<uint8_t> host(2560 * 2048 * 3, 7);
    {
        CBitmapImage image;
        ASSERT_EQ(image.Load(dir.Path("good.bmp")), 0);
        EXPECT_EQ(image.Attach(2560, 2048, host.data()), host.data());
        const CBitmapInfoHeader& h = image.Header();
        EXPECT_EQ(h.biSize, 40u);
        EXPECT_EQ(h.biWidth, 2560);
        EXPECT_EQ(h.biHeight, 2048);
        EXPECT_EQ(h.biPlanes, 1);
        EXPECT_EQ(h.biBitCount, 24);
        EXPECT_EQ(h.biCompression, 0u);
        EXPECT_EQ(h.biSizeImage, 0u);
        EXPECT_EQ(h.biXPelsPerMeter, 10000);
        EXPECT_EQ(h.biYPelsPerMeter, 10000);
        EXPECT_FALSE(image.OwnsPixels());
        EXPECT_EQ(image.Load(dir.Path("good.bmp")), 0);  // must not release the host's buffer
        image.Attach(2560, 2048, host.data());
    }  // nor may the destructor
    EXPECT_EQ(host[0], 7);
}
