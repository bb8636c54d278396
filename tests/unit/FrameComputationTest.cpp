#include <gtest/gtest.h>

#include <random>

#include "engine/FrameEngine.h"
#include "image/ExtractResult.h"
#include "support/Bitmaps.h"
#include "support/Hooks.h"
#include "support/Planes.h"
#include "support/TestFiles.h"

using namespace testing_support;

namespace {

// The frame sample at column j, row i, straight from the addressing rule.
int32_t ReferenceSample(const std::vector<uint8_t>& pixels, int32_t width, int32_t color,
                        int32_t position, int32_t j, int32_t i) {
    const int32_t dx = (position == 1 || position == 2) ? 1 : 0;
    const int32_t dy = (position == 0 || position == 1) ? 1 : 0;
    const int32_t stride = (3 * width + 3) & ~3;
    return pixels[(2 * i + dy) * stride + (2 * j + dx) * 3 + color];
}

}  // namespace

TEST(ExtractSubPixel, TakesTheAddressedByteForEveryColourPositionAndPadding) {
    // Odd and even sizes, with 0..3 padding bytes per row.
    for (auto [width, height] : {std::pair{8, 6}, {7, 5}, {9, 4}, {10, 7}, {2, 2}, {1, 1}}) {
        const std::vector<uint8_t> pixels = PixelArray(width, height, PatternByte);
        CBitmapImage image;
        image.Attach(width, height, const_cast<uint8_t*>(pixels.data()));
        for (int32_t color = 0; color < 3; ++color) {
            for (int32_t position : {0, 1, 2, 3, 7, -1}) {
                CFrame frame;
                ASSERT_EQ(frame.ExtractSubPixel(image, color, position), kExtracted);
                ASSERT_EQ(frame.m_nCols, width / 2);
                ASSERT_EQ(frame.m_nRows, height / 2);
                ASSERT_EQ(frame.m_nCount, (width / 2) * (height / 2));
                const int32_t treatedAs = (position >= 0 && position <= 2) ? position : 3;
                for (int32_t i = 0; i < frame.m_nRows; ++i)
                    for (int32_t j = 0; j < frame.m_nCols; ++j)
                        ASSERT_EQ(frame.GetPixel(j, i), ReferenceSample(pixels, width, color, treatedAs, j, i))
                            << width << "x" << height << " colour " << color << " position " << position;
            }
        }
    }
}

TEST(ExtractSubPixel, NominalImageByteOffsets) {
    std::vector<uint8_t> pixels(2560 * 2048 * 3, 0);
    for (size_t offset : {7682u, 7683u, 4u, 0u, 6u, 15360u}) pixels[offset] = static_cast<uint8_t>(offset % 251 + 1);
    CBitmapImage image;
    image.Attach(2560, 2048, pixels.data());
    struct Case {
        int32_t color, position, x, y;
        size_t offset;
    };
    for (const Case& c : {Case{2, 0, 0, 0, 7682}, Case{0, 1, 0, 0, 7683}, Case{1, 2, 0, 0, 4},
                          Case{0, 3, 0, 0, 0}, Case{0, 3, 1, 0, 6}, Case{0, 3, 0, 1, 15360}}) {
        CFrame frame;
        ASSERT_EQ(frame.ExtractSubPixel(image, c.color, c.position), kExtracted);
        EXPECT_EQ(frame.m_nCols, 1280);
        EXPECT_EQ(frame.m_nRows, 1024);
        EXPECT_EQ(frame.GetPixel(c.x, c.y), static_cast<int32_t>(c.offset % 251 + 1)) << c.offset;
    }
}

TEST(ExtractSubPixel, RefusedImagesLeaveTheFrameAsItWas) {
    TempDir dir;
    BitmapLayout palette{8, 8};
    palette.bitCount = 8;
    BitmapLayout compressed{8, 8};
    compressed.compression = 1;
    BitmapLayout topDown{8, -8};
    WriteBytes(dir.Path("good.bmp"), BitmapFile(BitmapLayout{8, 8}, PatternByte));
    WriteBytes(dir.Path("palette.bmp"), BitmapFile(palette, PatternByte));
    WriteBytes(dir.Path("compressed.bmp"), BitmapFile(compressed, PatternByte));
    WriteBytes(dir.Path("top-down.bmp"), BitmapFile(topDown, PatternByte));

    struct Case {
        const char* file;
        int32_t code;
    };
    for (const Case& c : {Case{"palette.bmp", kNot24Bit}, Case{"compressed.bmp", kCompressed},
                          Case{"top-down.bmp", kUnusableSize}}) {
        CBitmapImage image;
        ASSERT_EQ(image.Load(dir.Path("good.bmp")), 0);
        CFrame frame;
        ASSERT_EQ(frame.ExtractSubPixel(image, 1, 0), kExtracted);
        const std::vector<int32_t> before = SignedSamples(frame);
        image.Load(dir.Path(c.file));
        EXPECT_EQ(frame.ExtractSubPixel(image, 1, 0), c.code) << c.file;
        EXPECT_EQ(SignedSamples(frame), before) << c.file;
    }
    CBitmapImage none;
    CFrame frame;
    EXPECT_EQ(frame.ExtractSubPixel(none, 0, 0), kNotSinglePlane);  // a zeroed header has 0 planes
    none.Attach(4, 4, nullptr);
    EXPECT_EQ(frame.ExtractSubPixel(none, 0, 0), kNoPixels);
    EXPECT_FALSE(frame.HasData());

    const std::vector<uint8_t> pixels = PixelArray(4, 4, PatternByte);
    CBitmapImage attached;
    attached.Attach(4, 4, const_cast<uint8_t*>(pixels.data()));
    EXPECT_EQ(frame.ExtractSubPixel(attached, 3, 0), kUnusableSize);
    {
        AllocationFailure failure(1);
        EXPECT_EQ(frame.ExtractSubPixel(attached, 0, 0), kOutOfMemory);
    }
    EXPECT_FALSE(frame.HasData());
    EXPECT_EQ(frame.m_nCols, 2);
    EXPECT_EQ(frame.m_nCount, 4);
}

class CalcFrameTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_pixels = PixelArray(8, 6, PatternByte);
        m_engine.m_Image.Attach(8, 6, m_pixels.data());
    }
    // The engine's offset map: the given size, every sample the value.
    void SetOffsets(int32_t cols, int32_t rows, int32_t value) {
        testing_support::PaintSamples(m_engine.m_Offset, cols, rows, [&](int32_t) { return value; });
    }
    std::vector<uint8_t> m_pixels;
    CFrameEngine m_engine;
};

TEST_F(CalcFrameTest, MapsThroughTheLutAndAddsTheClampedOffset) {
    m_engine.m_Lut.MakeLinear(8000);  // entries above 4095 stay without an offset map
    m_engine.SetColor(2);
    m_engine.SetPosition(1);
    m_engine.CalcFrame(3);
    const CFrame& frame = m_engine.m_Frames[3];
    for (int32_t i = 0; i < 3; ++i)
        for (int32_t j = 0; j < 4; ++j)
            EXPECT_EQ(frame.GetPixel(j, i), ReferenceSample(m_pixels, 8, 2, 1, j, i) * 8000 / 255);
    for (int32_t index = 0; index < 12; ++index) EXPECT_EQ(m_engine.m_Frames[index].HasData(), index == 3);

    SetOffsets(4, 2, 100);  // another size: not added
    m_engine.CalcFrame(3);
    EXPECT_EQ(frame.GetPixel(0, 0), ReferenceSample(m_pixels, 8, 2, 1, 0, 0) * 8000 / 255);

    SetOffsets(4, 3, -150);
    m_engine.CalcFrame(3);
    for (int32_t i = 0; i < 3; ++i) {
        for (int32_t j = 0; j < 4; ++j) {
            const int32_t sum = ReferenceSample(m_pixels, 8, 2, 1, j, i) * 8000 / 255 - 150;
            EXPECT_EQ(frame.GetPixel(j, i), std::clamp(static_cast<int32_t>(static_cast<int16_t>(sum)), 0, 4095));
        }
    }
}

TEST_F(CalcFrameTest, AFailedExtractionKeepsTheFrameWithoutRemapping) {
    m_engine.m_Lut.MakeInverse(4095);
    m_engine.CalcFrame(0);
    const std::vector<int32_t> before = SignedSamples(m_engine.m_Frames[0]);
    m_engine.m_Image.Attach(8, 6, nullptr);
    m_engine.CalcFrame(0);
    EXPECT_EQ(SignedSamples(m_engine.m_Frames[0]), before);
    m_engine.CalcFrame(1);
    EXPECT_FALSE(m_engine.m_Frames[1].HasData());
}

TEST_F(CalcFrameTest, TwelveFramesCarryEveryImageByteOnce) {
    TempDir dir;
    std::vector<uint8_t> counts(m_pixels.size(), 0);
    m_engine.m_Lut.MakeLinear(255);  // the identity
    int32_t index = 0;
    for (int32_t color = 0; color < 3; ++color) {
        for (int32_t position = 0; position < 4; ++position, ++index) {
            m_engine.SetColor(color);
            m_engine.SetPosition(position);
            m_engine.CalcFrame(index);
            const CFrame& frame = m_engine.m_Frames[index];
            const int32_t dx = (position == 1 || position == 2) ? 1 : 0;
            const int32_t dy = position <= 1 ? 1 : 0;
            for (int32_t i = 0; i < frame.m_nRows; ++i) {
                for (int32_t j = 0; j < frame.m_nCols; ++j) {
                    const size_t offset = (2 * i + dy) * 24 + (2 * j + dx) * 3 + color;
                    ASSERT_EQ(frame.GetPixel(j, i), m_pixels[offset]);
                    ++counts[offset];
                }
            }
        }
    }
    EXPECT_EQ(counts, std::vector<uint8_t>(m_pixels.size(), 1));
}

TEST(CalcFrameFromFiles, ImageFileLutFileAndOffsetFileTogether) {
    TempDir dir;
    WriteBytes(dir.Path("image.bmp"), BitmapFile(BitmapLayout{6, 4}, PatternByte));
    CLut lut;
    lut.MakeLinear(4000);
    lut.Save(dir.Path("table.lut"));
    CFrame offsets;
    testing_support::PaintSamples(offsets, 3, 2, [](int32_t i) { return i * 10 - 20; });
    offsets.Save(dir.Path("offset.frm"));

    CFrameEngine engine;
    ASSERT_EQ(engine.SetImageFile(dir.Path("image.bmp").c_str()), 0);
    engine.SetLutFile(dir.Path("table.lut").c_str());
    engine.SetOffsetFile(dir.Path("offset.frm").c_str());
    engine.SetColor(1);
    engine.SetPosition(2);
    engine.CalcFrame(11);
    const std::vector<uint8_t> pixels = PixelArray(6, 4, PatternByte);
    const CFrame& frame = engine.m_Frames[11];
    ASSERT_EQ(frame.m_nCount, 6);
    for (int32_t i = 0; i < 2; ++i)
        for (int32_t j = 0; j < 3; ++j)
            EXPECT_EQ(frame.GetPixel(j, i),
                      std::clamp(ReferenceSample(pixels, 6, 1, 2, j, i) * 4000 / 255 + (i * 3 + j) * 10 - 20, 0, 4095));
}

// The one-pass computation against the three steps one after the other, on random inputs.
TEST(ExtractSubPixel, OnePassEqualsExtractionThenTableThenOffsets) {
    std::mt19937 random(12345);
    auto next = [&](int32_t low, int32_t high) {
        return std::uniform_int_distribution<int32_t>(low, high)(random);
    };
    // A frame computed again and again, as the engine's frames are: it keeps its buffer when the
    // size repeats (every second round) and must still show nothing of the previous image.
    CFrame reused;
    int32_t width = 0, height = 0;
    for (int round = 0; round < 60; ++round) {
        if (round % 2 == 0) {
            width = next(1, 97);
            height = next(1, 23);
        }
        std::vector<uint8_t> pixels = PixelArray(width, height, [&](int32_t, int32_t, int32_t) {
            return static_cast<uint8_t>(next(0, 255));
        });
        CBitmapImage image;
        image.Attach(width, height, pixels.data());

        CLut lut;
        const int32_t tableKind = next(0, 3);
        if (tableKind > 0) {
            lut.MakeLinear(0);
            lut.m_nCount = tableKind == 3 ? next(1, 256) : 256;  // a short foreign table
            lut.m_nFirstInput = static_cast<int16_t>(tableKind == 2 ? next(-2, 3) : 0);
            for (int32_t i = 0; i < 256; ++i) lut.m_pTable[i] = static_cast<int16_t>(next(-40000, 40000));
        }
        CFrame offsets;
        if (next(0, 3) > 0) {
            offsets.m_nCols = width / 2 + (next(0, 4) == 0 ? 1 : 0);
            offsets.m_nRows = height / 2;
            offsets.m_nCount = offsets.m_nCols * offsets.m_nRows;
            offsets.m_pData = std::make_unique<uint16_t[]>(static_cast<size_t>(offsets.m_nCount) + 1);
            for (int32_t i = 0; i < offsets.m_nCount; ++i) offsets.m_pData[i] = static_cast<uint16_t>(next(0, 65535));
        }
        const int32_t color = next(0, 2), position = next(-1, 5);

        MessageRecorder messages;
        CFrame stepwise, onePass;
        stepwise.m_bShowErrors = onePass.m_bShowErrors = 1;
        ASSERT_EQ(stepwise.ExtractSubPixel(image, color, position), kExtracted);
        lut.Apply(stepwise);
        stepwise.AddFrame(offsets);
        const size_t stepwiseMessages = messages.Messages().size();
        ASSERT_EQ(onePass.ExtractSubPixel(image, color, position, lut, offsets), kExtracted);
        EXPECT_EQ(messages.Messages().size(), 2 * stepwiseMessages) << "round " << round;
        ASSERT_EQ(onePass.m_nCount, stepwise.m_nCount);
        EXPECT_EQ(SignedSamples(onePass), SignedSamples(stepwise)) << "round " << round;
        ASSERT_EQ(reused.ExtractSubPixel(image, color, position, lut, offsets), kExtracted);
        EXPECT_EQ(SignedSamples(reused), SignedSamples(stepwise)) << "round " << round;
    }
}
