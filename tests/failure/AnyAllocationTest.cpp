// Any allocation of an operation failing in turn, not only the sample buffers: a string, a
// vector or a std::function throws std::bad_alloc, a sample buffer comes back null. Called on an
// engine, an operation may let std::bad_alloc out (the export catches it) but leaves every plane
// and table consistent; called through its export, nothing escapes. Either way the calibration
// files are untouched or completely rewritten, and no temporary file stays.
#include <gtest/gtest.h>

#include <cstdio>
#include <new>

#include "engine/FrameEngine.h"
#include "failure/Exports.h"
#include "failure/FailingNew.h"
#include "support/Hooks.h"

using namespace testing_support;
using failing_new::NewFailure;

namespace {

// The calibration files are as they were, or as a run without failures writes them.
struct Outcome {
    std::vector<uint8_t> lut;
    std::vector<uint8_t> offsets;
};

void ExpectOldOrNewFiles(const Workspace& files, const Outcome& complete,
                         const std::vector<std::string>& before) {
    const std::vector<uint8_t> lut = ReadBytes(files.Lut());
    const std::vector<uint8_t> offsets = ReadBytes(files.Offsets());
    EXPECT_TRUE(lut == files.OldLut() || lut == complete.lut);
    EXPECT_TRUE(offsets == files.OldOffsets() || offsets == complete.offsets);
    files.ExpectFilesAsBefore(before);
}

struct EngineOperation {
    const char* name;
    std::function<void(CFrameEngine&, const Workspace&)> run;
    bool display = false;  // with the file display open
};

const std::vector<EngineOperation>& EngineOperations() {
    static const std::vector<EngineOperation> operations = {
        {"ShowDialog", [](CFrameEngine& e, const Workspace&) { e.ShowDialog(); }},
        {"SetDeviceName",
         [](CFrameEngine& e, const Workspace&) { e.SetDeviceName("\\\\.\\DISPLAY9\\Monitor0"); }},
        {"SetLutFile", [](CFrameEngine& e, const Workspace& f) { e.SetLutFile(f.Lut().c_str()); }},
        {"SetLutFile without a file",
         [](CFrameEngine& e, const Workspace& f) { e.SetLutFile(f.Missing().c_str()); }},
        {"SetOffsetFile",
         [](CFrameEngine& e, const Workspace& f) { e.SetOffsetFile(f.Offsets().c_str()); }},
        {"SetImageFile",
         [](CFrameEngine& e, const Workspace& f) { e.SetImageFile(f.Image().c_str()); }},
        {"SetScanFile",
         [](CFrameEngine& e, const Workspace& f) { e.SetScanFile(f.Scan().c_str()); }},
        {"OpenOutputDevice", [](CFrameEngine& e, const Workspace&) { e.OpenOutputDevice(); }, true},
        {"CalcFrame", [](CFrameEngine& e, const Workspace&) { e.CalcFrame(4); }},
        {"OutputFrame", [](CFrameEngine& e, const Workspace&) { e.OutputFrame(0); }, true},
        {"OutputBlankFrame", [](CFrameEngine& e, const Workspace&) { e.OutputBlankFrame(1234); },
         true},
        {"CalcLut", [](CFrameEngine& e, const Workspace&) { e.CalcLut(); }},
        {"CalcOffset", [](CFrameEngine& e, const Workspace&) { e.CalcOffset(1); }},
    };
    return operations;
}

}  // namespace

TEST(AnyAllocationFailing, EngineOperationsLeaveConsistentState) {
    MessageRecorder quiet;
    for (const EngineOperation& op : EngineOperations()) {
        SCOPED_TRACE(op.name);
        long allocations = 0;
        Outcome complete;
        {
            Workspace files;
            CFrameEngine engine;
            files.Prepare(engine, op.display);
            {
                NewFailure counter(0);
                op.run(engine, files);
                allocations = counter.Allocations();
            }
            complete = {ReadBytes(files.Lut()), ReadBytes(files.Offsets())};
        }
        std::printf("  %s: %ld allocations, each made to fail\n", op.name, allocations);
        for (long n = 1; n <= allocations; ++n) {
            SCOPED_TRACE("allocation " + std::to_string(n) + " of " + std::to_string(allocations));
            Workspace files;
            const std::vector<std::string> before = files.Files();
            CFrameEngine engine;
            files.Prepare(engine, op.display);
            try {
                NewFailure failure(n);
                op.run(engine, files);
            } catch (const std::bad_alloc&) {
            }
            ExpectConsistent(engine);
            ExpectOldOrNewFiles(files, complete, before);
        }
    }
}

TEST(AnyAllocationFailing, ExportsReturnNormally) {
    MessageRecorder quiet;
    for (const failure_tests::Export& exported : failure_tests::Exports()) {
        SCOPED_TRACE(exported.name);
        long allocations = 0;
        Outcome complete;
        {
            Workspace files;
            failure_tests::PrepareThroughExports(files, exported.display);
            {
                NewFailure counter(0);
                exported.call(files);
                allocations = counter.Allocations();
            }
            complete = {ReadBytes(files.Lut()), ReadBytes(files.Offsets())};
        }
        EXPECT_EQ(allocations > 0, exported.allocates) << allocations << " allocations";
        std::printf("  %s: %ld allocations, each made to fail\n", exported.name, allocations);
        for (long n = 1; n <= allocations; ++n) {
            SCOPED_TRACE("allocation " + std::to_string(n) + " of " + std::to_string(allocations));
            Workspace files;
            const std::vector<std::string> before = files.Files();
            failure_tests::PrepareThroughExports(files, exported.display);
            bool escaped = false;
            try {
                NewFailure failure(n);
                exported.call(files);
            } catch (...) {
                escaped = true;
            }
            EXPECT_FALSE(escaped) << "an exception left the export";
            ExpectOldOrNewFiles(files, complete, before);
            failure_tests::UseEverything();
            files.ExpectFilesAsBefore(before);
        }
    }
}
