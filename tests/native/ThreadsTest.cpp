// Two threads of a host calling the exports at once: the calls are serialised, so the files can
// be changed under a frame being computed, and the display opened and closed under a frame being
// drawn, without bringing the process down.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "native/LibraryHost.h"
#include "support/TestFiles.h"

using testing_support::PutLE16;
using testing_support::PutLE32;
using testing_support::TempDir;
using testing_support::WriteBytes;

namespace {

// A 24-bit bottom-up bitmap of the given size, in grey steps.
std::vector<uint8_t> SmallBitmap(int width, int height) {
    const uint32_t stride = (3 * width + 3) & ~3u;
    std::vector<uint8_t> bytes = {'B', 'M'};
    PutLE32(bytes, 54 + stride * height);
    PutLE32(bytes, 0);
    PutLE32(bytes, 54);
    PutLE32(bytes, 40);
    PutLE32(bytes, static_cast<uint32_t>(width));
    PutLE32(bytes, static_cast<uint32_t>(height));
    PutLE16(bytes, 1);
    PutLE16(bytes, 24);
    for (int i = 0; i < 6; ++i) PutLE32(bytes, 0);
    for (uint32_t i = 0; i < stride * height; ++i) bytes.push_back(static_cast<uint8_t>(i * 7));
    return bytes;
}

}  // namespace

TEST(Threads, ExportsCalledFromTwoThreadsAtOnceAreSerialised) {
    LibraryHost& kavrel = LibraryHost::Get();
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
    EXPECT_GT(frames, 0);
}
