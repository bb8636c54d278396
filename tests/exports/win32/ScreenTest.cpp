// The output display through the exports on Windows: frames drawn with GDI on the screen
// ("DISPLAY") and read back pixel for pixel, and the message box of a display that cannot be
// opened.
#include <gtest/gtest.h>
#include <windows.h>

#include "exports/HostSystem.h"
#include "exports/Library.h"
#include "support/DisplayPictures.h"
#include "support/TestFiles.h"

namespace dp = display_pictures;

namespace {

constexpr int32_t kWidth = 1280;
constexpr int32_t kHeight = 1024;
const std::string kCannotOpen = "Can\xB4t open Output Display";

// The whole screen, copied into a 32-bit top-down DIB section.
dp::Picture ReadScreen() {
    dp::Picture picture = dp::Picture::Black(kWidth, kHeight);
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = kWidth;
    info.bmiHeader.biHeight = -kHeight;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (bitmap != nullptr && bits != nullptr) {
        HGDIOBJ old = SelectObject(memory, bitmap);
        BitBlt(memory, 0, 0, kWidth, kHeight, screen, 0, 0, SRCCOPY);
        GdiFlush();
        const uint8_t* bgrx = static_cast<const uint8_t*>(bits);
        for (size_t i = 0; i < static_cast<size_t>(kWidth) * kHeight; ++i)
            for (int b = 0; b < 3; ++b) picture.bgr[3 * i + b] = bgrx[4 * i + b];
        SelectObject(memory, old);
        DeleteObject(bitmap);
    }
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return picture;
}

// A LUT whose 256 entries are distinct and use all twelve bits.
std::vector<int16_t> ScatteringLut() {
    std::vector<int16_t> lut(256);
    for (int v = 0; v < 256; ++v) lut[v] = static_cast<int16_t>((v * 2731 + 7) & 0xFFF);
    return lut;
}

// The samples of the frame of a colour and position, as the LUT maps the image's bytes.
std::vector<uint16_t> FrameSamples(const std::vector<uint8_t>& pixels, int32_t width,
                                   int32_t height, int color, int position,
                                   const std::vector<int16_t>& lut) {
    const int dx = position == 1 || position == 2 ? 1 : 0;
    const int dy = position == 0 || position == 1 ? 1 : 0;
    std::vector<uint16_t> samples;
    for (int32_t r = 0; r < height / 2; ++r)
        for (int32_t c = 0; c < width / 2; ++c)
            samples.push_back(static_cast<uint16_t>(
                lut[pixels[dp::Stride(width) * (2 * r + dy) + 3 * (2 * c + dx) + color]]));
    return samples;
}

// Loads the LUT and a zero offset map into the library.
void LoadExposureFiles(const testing_support::TempDir& dir, const std::vector<int16_t>& lut) {
    host::CKavrel& k = Library();
    testing_support::WriteBytes(dir.Path("lut.lut"), dp::LutFile(lut));
    testing_support::WriteBytes(dir.Path("offset.frm"), dp::ZeroOffsetFile(kWidth, kHeight));
    k.SetLutFile(dir.Path("lut.lut").c_str());
    k.SetOffsetFile(dir.Path("offset.frm").c_str());
}

int LoadImage(const testing_support::TempDir& dir, int32_t width, int32_t height,
              const std::vector<uint8_t>& pixels) {
    testing_support::WriteBytes(dir.Path("image.bmp"), dp::BitmapFile(width, height, pixels));
    return Library().SetImageFile(dir.Path("image.bmp").c_str());
}

// Opens the screen as the output display; true when no message box appeared.
bool OpenScreen() {
    host::CKavrel& k = Library();
    k.SetDeviceName("DISPLAY");
    return CaptureMessageBoxes([&] { k.OpenOutputDevice(); }).empty();
}

void CloseScreen() {
    host::CKavrel& k = Library();
    k.CloseOutputDevice();
    k.SetDeviceName("");
    k.SetDelayLine(0);
    k.SetDelayShift(0);
    k.SetColor(0);
    k.SetPosition(0);
}

}  // namespace

TEST(Screen, ShowsBlankFramesPacked) {
    host::CKavrel& k = Library();
    EXPECT_TRUE(OpenScreen());
    k.SetDelayLine(1);  // never applies to a blank frame
    struct Case {
        int value;
        uint8_t blue, green, red;
    };
    const Case cases[] = {{0x0ABC, 0xB0, 0xA0, 0xC0}, {4096, 0, 0, 0},  {4095, 0xF0, 0xF0, 0xF0},
                          {256, 0, 0x10, 0},          {15, 0, 0, 0xF0}, {-1, 0xF0, 0xF0, 0xF0},
                          {65541, 0, 0, 0x50}};
    for (const Case& c : cases) {
        k.OutputBlankFrame(c.value);
        EXPECT_TRUE(ReadScreen().IsUniform(c.blue, c.green, c.red));
    }
    CloseScreen();
}

TEST(Screen, ShowsComputedFramesPixelForPixel) {
    host::CKavrel& k = Library();
    testing_support::TempDir dir;
    const std::vector<int16_t> lut = ScatteringLut();
    const std::vector<uint8_t> pixels = dp::NoiseBytes(dp::Stride(2560) * 2048, 777);
    LoadExposureFiles(dir, lut);
    EXPECT_EQ(LoadImage(dir, 2560, 2048, pixels), 0);
    EXPECT_TRUE(OpenScreen());
    k.SetColor(1);
    k.SetPosition(2);
    k.CalcFrame(4);
    const std::vector<uint16_t> samples = FrameSamples(pixels, 2560, 2048, 1, 2, lut);
    struct Case {
        int line, shift;
    };
    for (const Case& c : {Case{0, 0}, Case{1, 0}, Case{1, 1}, Case{5, 2}}) {
        k.SetDelayLine(c.line);
        k.SetDelayShift(c.shift);
        k.OutputFrame(4);
        const dp::Picture expected =
            dp::ExpectedDisplay(dp::Picture::Black(kWidth, kHeight), kWidth, kHeight, samples,
                                c.line != 0, c.shift != 0);
        EXPECT_EQ(dp::PixelsThatDiffer(ReadScreen(), expected), 0);
    }
    CloseScreen();
}

TEST(Screen, ShowsFramesOfAHostBuffer) {
    host::CKavrel& k = Library();
    testing_support::TempDir dir;
    const std::vector<int16_t> lut = ScatteringLut();
    std::vector<uint8_t> pixels = dp::NoiseBytes(dp::Stride(2560) * 2048, 4242);
    LoadExposureFiles(dir, lut);
    EXPECT_EQ(k.SetBitmapPointer(pixels.data()), pixels.data());
    EXPECT_TRUE(OpenScreen());
    k.SetColor(2);
    k.SetPosition(0);
    k.CalcFrame(11);
    k.OutputFrame(11);
    const dp::Picture expected =
        dp::ExpectedDisplay(dp::Picture::Black(kWidth, kHeight), kWidth, kHeight,
                            FrameSamples(pixels, 2560, 2048, 2, 0, lut));
    EXPECT_EQ(dp::PixelsThatDiffer(ReadScreen(), expected), 0);
    k.SetBitmapPointer(nullptr);
    CloseScreen();
}

TEST(Screen, ShowsSmallFrameOverABlackArea) {
    host::CKavrel& k = Library();
    testing_support::TempDir dir;
    const std::vector<int16_t> lut = ScatteringLut();
    const std::vector<uint8_t> pixels = dp::NoiseBytes(dp::Stride(1280) * 1024, 99);
    LoadExposureFiles(dir, lut);
    EXPECT_EQ(LoadImage(dir, 1280, 1024, pixels), 0);
    EXPECT_TRUE(OpenScreen());
    k.CalcFrame(0);
    k.OutputBlankFrame(4095);
    const dp::Picture before = ReadScreen();
    EXPECT_TRUE(before.IsUniform(0xF0, 0xF0, 0xF0));
    k.OutputFrame(0);
    const dp::Picture expected =
        dp::ExpectedDisplay(before, 640, 512, FrameSamples(pixels, 1280, 1024, 0, 0, lut));
    EXPECT_EQ(dp::PixelsThatDiffer(ReadScreen(), expected), 0);
    CloseScreen();
}

// The screen opened before is closed by a failed open, as every display is (the messages
// themselves: Exports.FailedOpenShowsItsMessageOnlyWhenErrorsAreShown).
TEST(Screen, FailedOpenClosesTheScreen) {
    host::CKavrel& k = Library();
    EXPECT_TRUE(OpenScreen());
    k.OutputBlankFrame(0x123);
    k.SetDeviceName("NoSuchDisplay");
    EXPECT_TRUE(IsOneBox(CaptureMessageBoxes([&] { k.OpenOutputDevice(); }), kCannotOpen, true));
    // Nothing is drawn any more. (The box has left its traces on the screen, so it is read again
    // first.)
    const dp::Picture afterBox = ReadScreen();
    k.OutputBlankFrame(4095);
    EXPECT_EQ(dp::PixelsThatDiffer(ReadScreen(), afterBox), 0);
    CloseScreen();
}

TEST(Screen, ExposureShowsEveryImageByteExactlyOnce) {
    host::CKavrel& k = Library();
    testing_support::TempDir dir;
    const std::vector<uint8_t> pixels = dp::NoiseBytes(dp::Stride(2560) * 2048, 2024);
    LoadExposureFiles(dir, dp::ByteKeepingLut());
    EXPECT_EQ(LoadImage(dir, 2560, 2048, pixels), 0);
    k.SetDeviceName("DISPLAY");
    dp::ExposureCheck check(pixels);
    const std::vector<CapturedBox> boxes = CaptureMessageBoxes([&] {
        k.OpenOutputDevice();
        for (int index = 0; index < 12; ++index) {
            k.SetColor(index % 3);
            k.SetPosition(index / 3);
            k.CalcFrame(index);
            k.OutputFrame(index);
            EXPECT_EQ(check.AddFrame(index % 3, index / 3, ReadScreen()), 0);
        }
        k.CloseOutputDevice();
    });
    EXPECT_TRUE(boxes.empty());
    EXPECT_TRUE(check.EveryByteShownOnce());
    CloseScreen();
}
