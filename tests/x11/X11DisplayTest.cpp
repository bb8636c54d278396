// The X11 output display on virtual X servers: every drawing, read back from the screen with
// XGetImage, must equal the file display's picture of the same drawing, and a display that
// cannot show the packed values unchanged must not open.
#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
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
#include "support/TestServers.h"

namespace dp = display_pictures;
using testing_support::MessageRecorder;
using testing_support::ReadBytes;
using testing_support::TempDir;
using testing_support::TestServer;

namespace {

constexpr int32_t kWidth = 1280;
constexpr int32_t kHeight = 1024;
const std::string kCannotOpen = "Can\xB4t open Output Display";

// Pixels x..x+width, y..y+height of the screen, read through a connection of the test's own.
dp::Picture ReadScreen(const std::string& display, int x = 0, int y = 0, int width = kWidth,
                       int height = kHeight) {
    dp::Picture picture;
    // The server sometimes drops a connection made right after another one closed.
    Display* connection = nullptr;
    for (int attempt = 0; attempt < 5 && connection == nullptr; ++attempt) {
        if (attempt > 0) usleep(20000);
        connection = XOpenDisplay(display.c_str());
    }
    if (connection == nullptr) return picture;
    XImage* image = XGetImage(connection, DefaultRootWindow(connection), x, y,
                              static_cast<unsigned>(width), static_cast<unsigned>(height),
                              AllPlanes, ZPixmap);
    if (image != nullptr) {
        picture = dp::Picture::Black(width, height);
        for (int line = 0; line < height; ++line)
            for (int column = 0; column < width; ++column) {
                const unsigned long pixel = XGetPixel(image, column, line);
                uint8_t* p = picture.At(column, line);
                p[0] = static_cast<uint8_t>(pixel);
                p[1] = static_cast<uint8_t>(pixel >> 8);
                p[2] = static_cast<uint8_t>(pixel >> 16);
            }
        XDestroyImage(image);
    }
    XCloseDisplay(connection);
    return picture;
}

CDisplayMode Mode(const std::string& name) { return CDisplayMode{name, kWidth, kHeight, 32, 60}; }

// Samples that differ from their neighbours in every 4-bit group.
void MakeFrame(CFrame& frame, int32_t cols, int32_t rows, uint32_t seed) {
    testing_support::PaintSamples(frame, cols, rows, [seed](int32_t i) {
        const size_t n = static_cast<size_t>(i);
        return (n * 0x9E5u + n / 7 + seed) & 0xFFF;
    });
}

// The same drawings on an X display and on a file display.
class TwinDisplays {
public:
    explicit TwinDisplays(const std::string& x11) : m_strX11(x11) {
        m_bOpen = m_x11.CreateDC(Mode(x11)) &&
                  m_file.CreateDC(Mode("file:" + m_dir.Path("shown-%03d.bmp")));
    }
    bool IsOpen() const { return m_bOpen; }
    void Draw(const CFrame& frame) {
        frame.Output(m_x11);
        frame.Output(m_file);
    }
    // How many screen pixels differ from the file display's latest picture.
    int Mismatches() const {
        const std::vector<std::string> files = m_dir.Files();
        if (files.empty()) return -1;
        return dp::PixelsThatDiffer(ReadScreen(m_strX11),
                                    dp::PictureFromBitmapFile(ReadBytes(m_dir.Path(files.back()))));
    }

private:
    std::string m_strX11;
    TempDir m_dir;
    CDC m_x11;
    CDC m_file;
    bool m_bOpen = false;
};

struct Drawing {
    const char* what;
    int32_t cols, rows;  // 0: a blank frame of the value
    int value;
    int delayLine, delayShift;
};

}  // namespace

TEST(X11Display, EveryDrawingReadsBackAsTheFileDisplaysPicture) {
    TwinDisplays displays(TestServer("main"));
    ASSERT_TRUE(displays.IsOpen());
    EXPECT_TRUE(ReadScreen(TestServer("main")).IsUniform(0, 0, 0)) << "a new display is black";
    const Drawing drawings[] = {
        {"blank 4095", 0, 0, 4095, 0, 0},
        {"blank 0x0ABC", 0, 0, 0x0ABC, 0, 0},
        {"blank 65541 (red 0x50 alone)", 0, 0, 65541, 0, 0},
        {"frame, delay line off", kWidth, kHeight, 0, 0, 0},
        {"frame, delay line on", kWidth, kHeight, 0, 1, 0},
        {"frame, delay line on and shifted", kWidth, kHeight, 0, 5, 2},
        {"blank 4095 before a small frame", 0, 0, 4095, 0, 0},
        {"640 x 512 frame over black", 640, 512, 0, 0, 0},
        {"1400 x 1100 frame, cut at the edges", 1400, 1100, 0, 1, 0},
        {"blank 0", 0, 0, 0, 0, 0},
    };
    uint32_t seed = 1;
    for (const Drawing& d : drawings) {
        CFrame frame;
        if (d.cols == 0)
            frame.Fill(d.value);
        else
            MakeFrame(frame, d.cols, d.rows, seed++);
        frame.SetDelayLine(d.delayLine);
        frame.SetDelayShift(d.delayShift);
        displays.Draw(frame);
        EXPECT_EQ(displays.Mismatches(), 0) << d.what;
    }
}

TEST(X11Display, TwelveFramesOfAnExposureReadBackAsTheFileDisplaysPictures) {
    const std::string x11 = TestServer("main");
    TempDir dir;
    std::vector<uint8_t> image = dp::NoiseBytes(2560 * 2048 * 3, 77);
    CFrameEngine onScreen, inFiles;
    onScreen.SetDeviceName(x11.c_str());
    inFiles.SetDeviceName(("file:" + dir.Path("frame-%02d.bmp")).c_str());
    for (CFrameEngine* engine : {&onScreen, &inFiles}) {
        engine->SetBitmapPointer(image.data());
        engine->SetDelayLine(1);
        engine->OpenOutputDevice();
    }
    for (int index = 0; index < 12; ++index) {
        for (CFrameEngine* engine : {&onScreen, &inFiles}) {
            engine->SetColor(index / 4);
            engine->SetPosition(index % 4);
            engine->CalcFrame(index);
            engine->OutputFrame(index);
        }
        char name[32];
        std::snprintf(name, sizeof name, "frame-%02d.bmp", index);
        EXPECT_EQ(dp::PixelsThatDiffer(ReadScreen(x11),
                                       dp::PictureFromBitmapFile(ReadBytes(dir.Path(name)))),
                  0)
            << "frame " << index;
    }
}

TEST(X11Display, OpensOnlyWhereThePictureReachesTheScreenUnchanged) {
    const std::string main = TestServer("main");
    const std::string shallow = TestServer("shallow");
    const struct {
        std::string name;
        bool opens;
        const char* why;
    } cases[] = {
        {main, true, "24-bit 1280 x 1024 screen"},
        {main + ".0", true, "screen 0 by number"},
        {main + "/screen", true, "its RandR output by name"},
        {main + ".1", false, "a 1024 x 768 screen cannot hold the picture"},
        {main + ".1/screen", false, "nor its output"},
        {shallow, false, "16-bit colour would change the packed values"},
        {main + "/no-such-output", false, "an output the screen does not have"},
        {main + "/", false, "an empty output name"},
        {main + "/screen/x", false, "two output names"},
        {":", false, "no display number"},
        {"0", false, "not an X display name"},
        {":4095", false, "no server"},
        {"", false, "no name"},
    };
    for (const auto& c : cases) {
        CDC dc;
        EXPECT_EQ(dc.CreateDC(Mode(c.name)), c.opens) << c.name << ": " << c.why;
        EXPECT_EQ(dc.HasDC(), c.opens) << c.name;
    }
}

TEST(X11Display, DisplayMeansTheServerInTheEnvironment) {
    const char* saved = std::getenv("DISPLAY");
    const std::string before = saved != nullptr ? saved : "";
    CDC dc;
    setenv("DISPLAY", TestServer("main").c_str(), 1);
    EXPECT_TRUE(dc.CreateDC(Mode("DISPLAY")));
    EXPECT_TRUE(dc.CreateDC(Mode("DISPLAY/screen")));
    setenv("DISPLAY", TestServer("shallow").c_str(), 1);
    EXPECT_FALSE(dc.CreateDC(Mode("DISPLAY")));
    unsetenv("DISPLAY");
    EXPECT_FALSE(dc.CreateDC(Mode("DISPLAY")));
    if (saved != nullptr) setenv("DISPLAY", before.c_str(), 1);
}

TEST(X11Display, AFailedOpenLeavesNoContextAndShowsTheMessageWhenAllowed) {
    const std::string main = TestServer("main");
    MessageRecorder messages;
    CFrameEngine engine;
    engine.SetDeviceName(main.c_str());
    engine.OpenOutputDevice();
    ASSERT_TRUE(engine.m_OutputDC.HasDC());
    engine.OutputBlankFrame(4095);
    EXPECT_TRUE(ReadScreen(main).IsUniform(0xF0, 0xF0, 0xF0));

    engine.SetDeviceName(TestServer("shallow").c_str());
    engine.OpenOutputDevice();
    EXPECT_FALSE(engine.m_OutputDC.HasDC()) << "the old context is gone as well";
    engine.DisableErrorWindow(1);
    engine.OpenOutputDevice();
    EXPECT_EQ(messages.Texts(), std::vector<std::string>{kCannotOpen});
    // The window of the closed display is gone: the screen shows its background again.
    EXPECT_FALSE(ReadScreen(main).IsUniform(0xF0, 0xF0, 0xF0));
}

TEST(X11Display, EveryDrawingBringsTheWindowBackOnTop) {
    const std::string main = TestServer("main");
    CDC dc;
    ASSERT_TRUE(dc.CreateDC(Mode(main)));
    // Another program's window over the whole screen, white.
    Display* other = XOpenDisplay(main.c_str());
    if (other == nullptr) {
        usleep(50000);
        other = XOpenDisplay(main.c_str());
    }
    ASSERT_NE(other, nullptr);
    XSetWindowAttributes attributes{};
    attributes.override_redirect = True;
    attributes.background_pixel = WhitePixel(other, DefaultScreen(other));
    Window cover = XCreateWindow(other, DefaultRootWindow(other), 0, 0, kWidth, kHeight, 0,
                                 CopyFromParent, InputOutput, CopyFromParent,
                                 CWOverrideRedirect | CWBackPixel, &attributes);
    XMapRaised(other, cover);
    XSync(other, False);
    EXPECT_TRUE(ReadScreen(main).IsUniform(0xFF, 0xFF, 0xFF));

    CFrame frame;
    frame.Fill(0x0ABC);
    frame.Output(dc);
    EXPECT_TRUE(ReadScreen(main).IsUniform(0xB0, 0xA0, 0xC0));
    XCloseDisplay(other);
}

TEST(X11Display, AServerThatEndsDuringAnExposureLeavesTheHostRunning) {
    // A server of the test's own, which writes its display number to the pipe once it is up.
    int pipeEnds[2];
    ASSERT_EQ(pipe(pipeEnds), 0);
    const pid_t server = fork();
    ASSERT_GE(server, 0);
    if (server == 0) {
        dup2(pipeEnds[1], 3);
        const int null = open("/dev/null", O_RDWR);
        dup2(null, 1);
        dup2(null, 2);
        execlp("Xvfb", "Xvfb", "-displayfd", "3", "-nolisten", "tcp", "-screen", "0",
               "1280x1024x24", static_cast<char*>(nullptr));
        _exit(127);
    }
    close(pipeEnds[1]);
    std::string number;
    char c;
    while (read(pipeEnds[0], &c, 1) == 1 && c != '\n') number += c;
    close(pipeEnds[0]);
    ASSERT_FALSE(number.empty()) << "Xvfb did not start";

    CDC dc;
    const bool opened = dc.CreateDC(Mode(":" + number));
    kill(server, SIGTERM);
    waitpid(server, nullptr, 0);
    ASSERT_TRUE(opened);
    CFrame frame;
    frame.Fill(0x0ABC);
    frame.Output(dc);
    frame.Output(dc);
    dc.DeleteDC();
    EXPECT_FALSE(dc.HasDC());
}
