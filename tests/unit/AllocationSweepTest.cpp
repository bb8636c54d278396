// Every sample-buffer allocation of each engine operation made to fail in turn: the operation
// ends with the outcome defined for it, the planes and tables stay consistent, and the
// calibration files are either untouched or completely rewritten, with no temporary file left.
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>

#include "engine/FrameEngine.h"
#include "support/Hooks.h"
#include "support/TestFiles.h"
#include "support/Workspace.h"

using namespace testing_support;

namespace {

struct Operation {
    const char* name;
    // Returns the operation's result, if it has one.
    std::function<int32_t(CFrameEngine&, const Workspace&)> run;
    // What the operation must leave, and return, when one of its allocations failed; may be empty.
    std::function<void(const CFrameEngine&, int32_t result)> expect;
    // Whether the output display (a file display) is open.
    bool display = false;
};

// Runs the operation once without failures, then once with each of its allocations failing.
void Sweep(const Operation& op) {
    SCOPED_TRACE(op.name);
    MessageRecorder quiet;
    int allocations = 0;
    std::vector<uint8_t> newLut, newOffsets;
    {
        Workspace files;
        CFrameEngine engine;
        files.Prepare(engine, op.display);
        {
            AllocationFailure counter(0);
            op.run(engine, files);
            allocations = counter.Allocations();
        }
        newLut = ReadBytes(files.Lut());
        newOffsets = ReadBytes(files.Offsets());
    }
    EXPECT_GT(allocations, 0);
    std::printf("  %s: %d allocations, each made to fail\n", op.name, allocations);
    for (int n = 1; n <= allocations; ++n) {
        SCOPED_TRACE("allocation " + std::to_string(n) + " of " + std::to_string(allocations) +
                     " failing");
        Workspace files;
        const std::vector<std::string> before = files.Files();
        CFrameEngine engine;
        files.Prepare(engine, op.display);
        int32_t result = 0;
        {
            AllocationFailure failure(n);
            result = op.run(engine, files);
        }
        ExpectConsistent(engine);
        if (op.expect) op.expect(engine, result);
        const std::vector<uint8_t> lut = ReadBytes(files.Lut());
        const std::vector<uint8_t> offsets = ReadBytes(files.Offsets());
        EXPECT_TRUE(lut == files.OldLut() || lut == newLut);
        EXPECT_TRUE(offsets == files.OldOffsets() || offsets == newOffsets);
        files.ExpectFilesAsBefore(before);
    }
}

}  // namespace

TEST(AllocationSweep, LoadingFiles) {
    Sweep({"SetImageFile",
           [](CFrameEngine& e, const Workspace& f) { return e.SetImageFile(f.Image().c_str()); },
           [](const CFrameEngine& e, int32_t result) {
               EXPECT_EQ(result, 3);
               EXPECT_EQ(e.m_Image.Pixels(), nullptr);
               EXPECT_EQ(e.m_Image.Header().biWidth, 64);
           }});
    Sweep({"SetLutFile",
           [](CFrameEngine& e, const Workspace& f) {
               e.SetLutFile(f.Lut().c_str());
               return 0;
           },
           [](const CFrameEngine& e, int32_t) { EXPECT_FALSE(e.m_Lut.HasTable()); }});
    Sweep({"SetLutFile without a file",
           [](CFrameEngine& e, const Workspace& f) {
               e.SetLutFile(f.Missing().c_str());
               return 0;
           },
           [](const CFrameEngine& e, int32_t) { EXPECT_FALSE(e.m_Lut.HasTable()); }});
    Sweep({"SetOffsetFile",
           [](CFrameEngine& e, const Workspace& f) {
               e.SetOffsetFile(f.Offsets().c_str());
               return 0;
           },
           [](const CFrameEngine& e, int32_t) {
               EXPECT_FALSE(e.m_Offset.HasData());
               EXPECT_EQ(e.m_Offset.m_nCols, 1280);
               EXPECT_EQ(e.m_Offset.m_nRows, 1024);
           }});
}

TEST(AllocationSweep, ComputingAndShowingFrames) {
    Sweep({"CalcFrame",
           [](CFrameEngine& e, const Workspace&) {
               e.CalcFrame(3);
               return 0;
           },
           [](const CFrameEngine& e, int32_t) {
               EXPECT_FALSE(e.m_Frames[3].HasData());
               EXPECT_EQ(e.m_Frames[3].m_nCols, 32);
               EXPECT_TRUE(e.m_Frames[0].HasData());
           }});
    // Through the file display: a picture that is drawn is written whole, or not at all.
    Sweep({"OpenOutputDevice",
           [](CFrameEngine& e, const Workspace&) {
               e.OpenOutputDevice();
               return 0;
           },
           [](const CFrameEngine& e, int32_t) { EXPECT_FALSE(e.m_OutputDC.HasDC()); }, true});
    Sweep({"OutputFrame",
           [](CFrameEngine& e, const Workspace&) {
               e.OutputFrame(0);
               return 0;
           },
           {},
           true});
    Sweep({"OutputBlankFrame",
           [](CFrameEngine& e, const Workspace&) {
               e.OutputBlankFrame(2000);
               return 0;
           },
           {},
           true});
}

TEST(AllocationSweep, Calibrations) {
    Sweep({"CalcLut",
           [](CFrameEngine& e, const Workspace&) {
               e.CalcLut();
               return 0;
           },
           [](const CFrameEngine& e, int32_t) { EXPECT_TRUE(e.m_Lut.HasTable()); }});
    Sweep({"CalcOffset",
           [](CFrameEngine& e, const Workspace&) {
               e.CalcOffset(1);
               return 0;
           },
           [](const CFrameEngine& e, int32_t) { EXPECT_TRUE(e.m_Offset.HasData()); }});
}
