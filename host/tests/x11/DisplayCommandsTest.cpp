// check-display, displays and expose's display check, run end to end on the virtual X servers
// of the test run.
#include <gtest/gtest.h>

#include <string>

#include "support/HostRun.h"
#include "support/TestServers.h"
#include "support/Text.h"

namespace {

using host_tests::CFolder;
using host_tests::CRun;
using host_tests::RunHost;
using testing_support::Contains;
using testing_support::TestServer;

int Lines(const std::string& text) {
    int n = 0;
    for (char c : text) n += c == '\n';
    return n;
}

#define EXPECT_RUN(run, status_) \
    EXPECT_EQ((run).status, status_) << "out: " << (run).out << "\nerr: " << (run).err

}  // namespace

TEST(HostCheckDisplay, PassesOnA24BitScreenAndFailsWhereBitsWouldChange) {
    CFolder folder;
    const std::string main = TestServer("main");
    CRun run = RunHost(folder, {"check-display", "--device", main + "/screen"});
    EXPECT_RUN(run, 0);
    EXPECT_TRUE(Contains(run.out, "1280 x 1024 at (0, 0), 24-bit colour")) << run.out;
    EXPECT_TRUE(Contains(run.out, "  pass  delay line on, shifted")) << run.out;
    EXPECT_TRUE(Contains(run.out, "display check passed")) << run.out;
    EXPECT_FALSE(Contains(run.out, "FAIL")) << run.out;

    const struct {
        std::string device;
        std::string why;
    } failures[] = {
        {TestServer("shallow"), "16-bit colour"},
        {main + ".1", "1024 x 768 pixels, smaller than the 1280 x 1024 picture"},
        {":4095", "no X display :4095"},
        // A screen the running server lacks is no server that is not running.
        {main + ".7", "the X display " + main + " has no screen 7 (it has 2"},
    };
    for (const auto& f : failures) {
        run = RunHost(folder, {"check-display", "--device", f.device});
        EXPECT_RUN(run, 1);
        EXPECT_TRUE(Contains(run.err, f.why)) << run.err;
        EXPECT_EQ(Lines(run.err), 1) << run.err;
    }
    run = RunHost(folder, {"check-display"}, {"DISPLAY=" + main});
    EXPECT_RUN(run, 0);
}

TEST(HostDisplays, ListsTheScreensAndOutputsOfTheXServers) {
    CFolder folder;
    const std::string main = TestServer("main");
    const std::string shallow = TestServer("shallow");
    CRun run = RunHost(folder, {"displays"}, {"DISPLAY=" + main});
    EXPECT_RUN(run, 0);
    for (const std::string& line :
         {"DISPLAY\n    the X display " + main, main + ".0\n    screen 0: 1280 x 1024 at (0, 0)",
          main + ".0/screen\n", main + ".1\n    screen 1: 1024 x 768",
          shallow + ".0\n    screen 0: 1280 x 1024 at (0, 0), 16-bit colour (cannot be drawn on)",
          std::string("file:PATH\n")})
        EXPECT_TRUE(Contains(run.out, line)) << "lacks: " << line << "\n" << run.out;

    // A DISPLAY that leads nowhere is no name to give --device: reported, not listed.
    run = RunHost(folder, {"displays"}, {"DISPLAY=:4095"});
    EXPECT_FALSE(Contains(run.out, "DISPLAY\n")) << run.out;
    EXPECT_TRUE(Contains(run.err, "DISPLAY: no X display :4095")) << run.err;
}

TEST(HostExpose, EndsOnADisplayThatCannotShowThePicture) {
    CFolder folder;
    const std::string main = TestServer("main");
    ASSERT_EQ(RunHost(folder, {"sample-image", "sample.bmp"}).status, 0);
    const struct {
        std::string device;
        std::string why;
    } failures[] = {
        {":4095", "--device :4095: no X display :4095"},
        {TestServer("shallow"), "16-bit colour"},
        {main + "/HDMI-9", "has no output 'HDMI-9'"},
        {"DISPLAY", "the environment variable DISPLAY, which is not set"},
        {"file:out/%s.bmp", "a file display takes a file name"},
    };
    for (const auto& f : failures) {
        const CRun run = RunHost(folder, {"expose", "sample.bmp", "--device", f.device},
                                 {"-u", "DISPLAY"});
        EXPECT_RUN(run, 1);
        EXPECT_TRUE(Contains(run.err, f.why)) << run.err;
        EXPECT_EQ(Lines(run.err), 1) << run.err;
        EXPECT_FALSE(Contains(run.out, "shown")) << run.out;
    }
    const CRun run = RunHost(folder, {"expose", "sample.bmp", "--device", main, "--blank", "0"});
    EXPECT_RUN(run, 0);
    EXPECT_TRUE(Contains(run.out, "shown 12 of 12 frames")) << run.out;
    EXPECT_EQ(run.err, "");
}
