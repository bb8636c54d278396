// Frames drawn on a file display, whose files show exactly what the display showed after every
// drawing call.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "engine/FrameEngine.h"
#include "image/Frame.h"
#include "platform/DisplayContext.h"
#include "support/DisplayPictures.h"
#include "support/Hooks.h"
#include "support/Planes.h"
#include "support/TestFiles.h"

using display_pictures::ExpectedDisplay;
using display_pictures::Picture;
using testing_support::AllocationFailure;
using testing_support::MessageRecorder;
using testing_support::ReadBytes;
using testing_support::TempDir;

namespace {

const std::string kCannotOpen = "Can\xB4t open Output Display";

// A frame of the given size whose samples differ from their neighbours in every 4-bit group.
std::vector<uint16_t> MakeFrame(CFrame& frame, int32_t cols, int32_t rows) {
    testing_support::PaintSamples(frame, cols, rows, [](int32_t i) {
        const size_t n = static_cast<size_t>(i);
        return (n * 0x9E5u + n / 7) & 0xFFF;
    });
    return testing_support::Samples(frame);
}

// A display named "file:DIR/shown-%02d.bmp" in the engine's mode, and the pictures it wrote.
class FileDisplay {
public:
    std::string Name() const { return "file:" + m_dir.Path("shown-%02d.bmp"); }
    CDisplayMode Mode() const { return CDisplayMode{Name(), 1280, 1024, 32, 60}; }
    std::vector<std::string> Files() const { return m_dir.Files(); }
    Picture Shown(int n) const {
        char name[32];
        std::snprintf(name, sizeof name, "shown-%02d.bmp", n);
        return display_pictures::PictureFromBitmapFile(ReadBytes(m_dir.Path(name)));
    }
    const TempDir& Dir() const { return m_dir; }

private:
    TempDir m_dir;
};

std::vector<std::string> Names(std::initializer_list<const char*> names) {
    return std::vector<std::string>(names.begin(), names.end());
}

// Frames drawn through a device context on a file display.
class FrameOutput : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dc.CreateDC(display.Mode())); }

    FileDisplay display;
    CDC dc;
};

}  // namespace

TEST_F(FrameOutput, SmallFrameIsDrawnFromTheTopLeftOverABlackNominalArea) {
    CFrame bright;
    bright.Fill(4095);
    bright.Output(dc);
    CFrame small;
    const std::vector<uint16_t> samples = MakeFrame(small, 640, 512);
    small.Output(dc);

    ASSERT_EQ(display.Files(), Names({"shown-00.bmp", "shown-01.bmp", "shown-02.bmp"}));
    EXPECT_TRUE(display.Shown(0).IsUniform(0xF0, 0xF0, 0xF0));
    EXPECT_TRUE(display.Shown(1).IsUniform(0, 0, 0));
    EXPECT_TRUE(display.Shown(2) == ExpectedDisplay(display.Shown(0), 640, 512, samples));
}

TEST_F(FrameOutput, FramesOfNominalSizeOrLargerAreDrawnWithoutFill) {
    CFrame full;
    const std::vector<uint16_t> fullSamples = MakeFrame(full, 1280, 1024);
    full.Output(dc);
    ASSERT_EQ(display.Files(), Names({"shown-00.bmp"}));
    EXPECT_TRUE(display.Shown(0) ==
                ExpectedDisplay(Picture::Black(1280, 1024), 1280, 1024, fullSamples));

    // Clipped at the right and bottom edges: the display's line 0 shows frame row 1099.
    CFrame large;
    const std::vector<uint16_t> largeSamples = MakeFrame(large, 1400, 1100);
    large.Output(dc);
    ASSERT_EQ(display.Files(), Names({"shown-00.bmp", "shown-01.bmp"}));
    const Picture shown = display.Shown(1);
    EXPECT_TRUE(shown == ExpectedDisplay(display.Shown(0), 1400, 1100, largeSamples));
    uint8_t topLeft[3];
    display_pictures::Pack(largeSamples[1099 * 1400], topLeft);
    EXPECT_EQ(std::vector<uint8_t>(shown.At(0, 0), shown.At(0, 0) + 3),
              std::vector<uint8_t>(topLeft, topLeft + 3));
}

TEST_F(FrameOutput, DelayLineArrangementReachesTheDisplay) {
    CFrame frame;
    const std::vector<uint16_t> samples = MakeFrame(frame, 1280, 1024);
    frame.SetDelayLine(1);
    frame.Output(dc);
    frame.SetDelayShift(1);
    frame.Output(dc);
    const Picture black = Picture::Black(1280, 1024);
    EXPECT_TRUE(display.Shown(0) == ExpectedDisplay(black, 1280, 1024, samples, true, false));
    EXPECT_TRUE(display.Shown(1) == ExpectedDisplay(black, 1280, 1024, samples, true, true));
}

TEST_F(FrameOutput, FramesThatCannotBeDrawnDrawNothing) {
    CFrame empty;
    empty.Output(dc);
    CFrame odd;
    MakeFrame(odd, 1282, 1024);
    odd.Output(dc);
    CFrame small;
    MakeFrame(small, 640, 512);
    {
        AllocationFailure failure(1);  // the packed buffer
        small.Output(dc);
        EXPECT_EQ(failure.Allocations(), 1);
    }
    EXPECT_TRUE(display.Files().empty());

    CDC closed;
    small.Output(closed);
    dc.DeleteDC();
    small.Output(dc);
    EXPECT_TRUE(display.Files().empty());
}

TEST(OutputDisplay, BlankFramesShowTheLow12BitsOfTheirValue) {
    FileDisplay display;
    CFrameEngine engine;
    engine.SetDeviceName(display.Name().c_str());
    engine.OpenOutputDevice();
    // The delay-line mode never applies to a blank frame.
    engine.SetDelayLine(1);
    struct Case {
        int32_t value;
        uint8_t blue, green, red;
    };
    const Case cases[] = {{4096, 0, 0, 0},
                          {4095, 0xF0, 0xF0, 0xF0},
                          {-1, 0xF0, 0xF0, 0xF0},
                          {65541, 0, 0, 0x50},
                          {0x0ABC, 0xB0, 0xA0, 0xC0}};
    int n = 0;
    for (const Case& k : cases) {
        engine.OutputBlankFrame(k.value);
        EXPECT_TRUE(display.Shown(n++).IsUniform(k.blue, k.green, k.red)) << k.value;
    }
    EXPECT_EQ(display.Files().size(), 5u);

    // While the display is open the blank frame and the packed buffer are kept: drawing again
    // allocates nothing. Closing the display returns them; then a failed allocation draws nothing.
    {
        AllocationFailure count(0);
        engine.OutputBlankFrame(1);
        EXPECT_EQ(count.Allocations(), 0);
    }
    EXPECT_EQ(display.Files().size(), 6u);
    engine.CloseOutputDevice();
    engine.OpenOutputDevice();
    for (int failAt : {1, 2}) {  // the blank frame's samples, the packed buffer
        AllocationFailure failure(failAt);
        engine.OutputBlankFrame(0);
    }
    EXPECT_EQ(display.Files().size(), 6u);
    engine.OutputBlankFrame(0x0ABC);
    EXPECT_TRUE(display.Shown(0).IsUniform(0xB0, 0xA0, 0xC0));
}

TEST(OutputDisplay, OutputFrameAppliesTheDelaySettingsInForceWhenShown) {
    FileDisplay display;
    CFrameEngine engine;
    const std::vector<uint16_t> samples = MakeFrame(engine.m_Frames[2], 1280, 1024);
    engine.SetDeviceName(display.Name().c_str());
    engine.OpenOutputDevice();
    engine.SetDelayLine(5);
    engine.SetDelayShift(2);
    engine.OutputFrame(2);
    EXPECT_EQ(engine.m_Frames[2].m_nDelayLine, 5);
    EXPECT_EQ(engine.m_Frames[2].m_nDelayShift, 2);
    engine.SetDelayLine(0);
    engine.OutputFrame(2);
    engine.OutputFrame(3);  // never computed

    const Picture black = Picture::Black(1280, 1024);
    ASSERT_EQ(display.Files().size(), 2u);
    EXPECT_TRUE(display.Shown(0) == ExpectedDisplay(black, 1280, 1024, samples, true, true));
    EXPECT_TRUE(display.Shown(1) == ExpectedDisplay(black, 1280, 1024, samples));
    EXPECT_EQ(engine.m_Frames[2].m_nDelayLine, 0);
}

TEST(OutputDisplay, DisplaysThatCannotBeOpenedAreReportedWhenErrorsAreShown) {
    TempDir dir;
    const std::string folder = dir.Path("");
    const std::vector<std::string> names = {
        "NoSuchDisplay",
        std::string(32, 'D'),  // too long for the display mode record
        "",
        "file:",
        "file:" + folder + "x-%s.bmp",
        "file:" + folder + "x-%n.bmp",
        "file:" + folder + "x-%d-%d.bmp",
        "file:" + folder + "x-%*d.bmp",
        "file:" + folder + "x-%ld.bmp",
        "file:" + folder + "x-%100d.bmp",
        "file:" + folder + "x-%.bmp",
        "file:" + folder + "x-%",
    };
    for (const std::string& name : names) {
        for (int32_t showErrors : {1, 0}) {
            MessageRecorder messages;
            CFrameEngine engine;
            engine.DisableErrorWindow(showErrors == 1 ? 0 : 1);
            engine.SetDeviceName(name.c_str());
            engine.OpenOutputDevice();
            EXPECT_FALSE(engine.m_OutputDC.HasDC()) << name;
            EXPECT_EQ(messages.Texts(), showErrors == 1 ? std::vector<std::string>{kCannotOpen}
                                                        : std::vector<std::string>{})
                << name;
            if (!messages.Messages().empty()) {
                EXPECT_EQ(messages.Messages()[0].style, platform::MessageStyle::Failure);
            }
            engine.OutputBlankFrame(0);
        }
    }
    EXPECT_TRUE(dir.Files().empty());

    // The file display's picture cannot be had.
    MessageRecorder messages;
    CFrameEngine engine;
    engine.SetDeviceName(("file:" + folder + "x.bmp").c_str());
    {
        AllocationFailure failure(1);
        engine.OpenOutputDevice();
    }
    EXPECT_FALSE(engine.m_OutputDC.HasDC());
    EXPECT_EQ(messages.Texts(), std::vector<std::string>{kCannotOpen});
}

TEST(OutputDisplay, FileNamesCountTheDrawingsSinceOpening) {
    struct Case {
        const char* pattern;
        std::vector<std::string> files;  // after three drawings
    };
    const Case cases[] = {
        {"plain.bmp", {"plain.bmp"}},
        {"n%u.bmp", {"n0.bmp", "n1.bmp", "n2.bmp"}},
        {"%%%03i%%.bmp", {"%000%.bmp", "%001%.bmp", "%002%.bmp"}},
        {"a%-2d.bmp", {"a0 .bmp", "a1 .bmp", "a2 .bmp"}},
        {"100%%.bmp", {"100%.bmp"}},
    };
    for (const Case& k : cases) {
        TempDir dir;
        CFrameEngine engine;
        const std::string name = "file:" + dir.Path(k.pattern);
        ASSERT_GE(name.size(), 32u);  // file display names are not limited
        engine.SetDeviceName(name.c_str());
        engine.OpenOutputDevice();
        for (int i = 0; i < 3; ++i) engine.OutputBlankFrame(i);
        EXPECT_EQ(dir.Files(), k.files) << k.pattern;
    }
}

TEST(OutputDisplay, OpeningAgainReplacesTheDisplayAndClosingTwiceDoesNothing) {
    MessageRecorder messages;
    FileDisplay first, second;
    CFrameEngine engine;
    engine.OutputBlankFrame(1);  // before any display: nothing
    engine.SetDeviceName(first.Name().c_str());
    engine.OpenOutputDevice();
    engine.OutputBlankFrame(1);
    engine.SetDeviceName(second.Name().c_str());
    engine.OpenOutputDevice();
    engine.OutputBlankFrame(2);
    engine.OpenOutputDevice();  // a new display: black again, counting from 0
    engine.OutputFrame(0);      // never computed
    engine.OutputBlankFrame(3);
    EXPECT_EQ(first.Files(), Names({"shown-00.bmp"}));
    EXPECT_EQ(second.Files(), Names({"shown-00.bmp"}));
    EXPECT_TRUE(second.Shown(0).IsUniform(0, 0, 0x30));

    // A failed open leaves no display, even though one was open.
    engine.DisableErrorWindow(1);
    engine.SetDeviceName("NoSuchDisplay");
    engine.OpenOutputDevice();
    EXPECT_FALSE(engine.m_OutputDC.HasDC());
    engine.OutputBlankFrame(4);
    engine.CloseOutputDevice();
    engine.CloseOutputDevice();

    engine.SetDeviceName(first.Name().c_str());
    engine.OpenOutputDevice();
    engine.CloseOutputDevice();
    engine.CloseOutputDevice();
    engine.OutputBlankFrame(5);
    EXPECT_EQ(first.Files(), Names({"shown-00.bmp"}));
    EXPECT_EQ(second.Files(), Names({"shown-00.bmp"}));
    EXPECT_TRUE(messages.Texts().empty());
}

TEST(OutputDisplay, PicturesThatCannotBeWrittenAreSkippedSilently) {
    MessageRecorder messages;
    FileDisplay display;
    CFrameEngine engine;
    engine.SetDeviceName(display.Name().c_str());
    engine.OpenOutputDevice();
    for (int64_t failAt : {0, 54, 1000000}) {
        testing_support::WriteFailure failure(failAt);
        engine.OutputBlankFrame(7);
    }
    EXPECT_TRUE(display.Files().empty());
    // The drawings are counted all the same: the gap shows what was lost.
    engine.OutputBlankFrame(8);
    EXPECT_EQ(display.Files(), Names({"shown-03.bmp"}));

    TempDir dir;
    engine.SetDeviceName(("file:" + dir.Path("missing-folder/shown.bmp")).c_str());
    engine.OpenOutputDevice();
    EXPECT_TRUE(engine.m_OutputDC.HasDC());
    engine.OutputBlankFrame(9);
    EXPECT_TRUE(dir.Files().empty());
    EXPECT_TRUE(messages.Texts().empty());
}
