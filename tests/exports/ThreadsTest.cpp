// Two threads of a host calling the exports at once: the calls are serialised, so the files can
// be changed under a frame being computed, and the display opened and closed under a frame being
// drawn, without bringing the process down.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "exports/Library.h"
#include "support/Bitmaps.h"
#include "support/TestFiles.h"

using testing_support::TempDir;
using testing_support::WriteBytes;

namespace {

std::vector<uint8_t> SmallBitmap(int32_t width, int32_t height) {
    testing_support::BitmapLayout layout;
    layout.width = width;
    layout.height = height;
    return testing_support::BitmapFile(layout, testing_support::PatternByte);
}

}  // namespace

TEST(Threads, ExportsCalledFromTwoThreadsAtOnceAreSerialised) {
    host::CKavrel& kavrel = Library();
    TempDir dir;
    WriteBytes(dir.Path("small.bmp"), SmallBitmap(64, 48));
    WriteBytes(dir.Path("large.bmp"), SmallBitmap(640, 480));
    const std::string device = "file:" + dir.Path("shown.bmp");
    kavrel.DisableErrorWindow(1);
    kavrel.SetDeviceName(device.c_str());
    kavrel.SetImageFile(dir.Path("large.bmp").c_str());

    std::atomic<bool> done{false};
    std::thread files([&] {
        for (int i = 0; i < 300; ++i) {
            kavrel.SetImageFile(dir.Path(i % 2 ? "small.bmp" : "large.bmp").c_str());
            kavrel.SetLutFile(i % 3 ? dir.Path("missing.lut").c_str() : "");
            kavrel.SetOffsetFile(dir.Path("missing.frm").c_str());
            kavrel.OpenOutputDevice();
            kavrel.CloseOutputDevice();
        }
        done = true;
    });
    int frames = 0;
    while (!done) {
        kavrel.CalcFrame(frames % 12);
        kavrel.OutputFrame(frames % 12);
        ++frames;
    }
    files.join();
    kavrel.CloseOutputDevice();
    kavrel.SetImageFile("");
    kavrel.DisableErrorWindow(0);
    EXPECT_GT(frames, 0);
}
