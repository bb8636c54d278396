// An exception forced inside each export, from every place where the library calls out of its
// own code: the sample-buffer allocation, the global operator new, the message box and the file
// writes. Every export returns normally, the calibration files are as they were or as a run
// without the exception writes them, no temporary file stays, and what the engine holds
// afterwards can still be used.
#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <stdexcept>

#include "failure/Exports.h"
#include "failure/FailingNew.h"
#include "base/Allocation.h"
#include "platform/File.h"
#include "platform/MessageBox.h"
#include "support/Hooks.h"

using namespace testing_support;

namespace {

int g_thrown = 0;

[[noreturn]] void CountAndThrow(const char* what) {
    ++g_thrown;
    throw std::runtime_error(what);
}

// One source of exceptions, armed while the object exists; Thrown(): whether it threw.
class Thrower {
public:
    virtual ~Thrower() = default;
    virtual bool Thrown() const { return g_thrown > 0; }
};

class BufferThrower : public Thrower {
public:
    BufferThrower() {
        kavrel::SetAllocationFailureHook([](size_t) -> bool { CountAndThrow("buffer"); });
    }
    ~BufferThrower() override { kavrel::SetAllocationFailureHook(nullptr); }
};

class MessageThrower : public Thrower {
public:
    MessageThrower() {
        platform::SetMessageSink(
            [](const std::string&, platform::MessageStyle) { CountAndThrow("message box"); });
    }
    ~MessageThrower() override { platform::SetMessageSink(nullptr); }
};

class WriteThrower : public Thrower {
public:
    WriteThrower() {
        platform::SetWriteFailureHook([](int64_t, size_t) -> bool { CountAndThrow("write"); });
    }
    ~WriteThrower() override { platform::SetWriteFailureHook(nullptr); }
};

// Every allocation through operator new throws an exception that is no std::bad_alloc.
class NewThrower : public Thrower {
public:
    bool Thrown() const override { return m_failure.Allocations() > 0; }

private:
    failing_new::NewFailure m_failure{1, true, failing_new::Failure::Exception};
};

struct Source {
    const char* name;
    std::function<std::unique_ptr<Thrower>()> arm;
};

const Source kSources[] = {
    {"sample buffer allocation", [] { return std::unique_ptr<Thrower>(new BufferThrower); }},
    {"message box", [] { return std::unique_ptr<Thrower>(new MessageThrower); }},
    {"file write", [] { return std::unique_ptr<Thrower>(new WriteThrower); }},
    {"operator new", [] { return std::unique_ptr<Thrower>(new NewThrower); }},
};

}  // namespace

TEST(ForcedException, NoExportLetsOneOut) {
    std::set<std::string> forced;
    for (const failure_tests::Export& exported : failure_tests::Exports()) {
        // The calibration files as the export writes them when nothing fails.
        std::vector<uint8_t> newLut, newOffsets;
        {
            MessageRecorder quiet;
            Workspace files;
            failure_tests::PrepareThroughExports(files, exported.display);
            exported.call(files);
            newLut = ReadBytes(files.Lut());
            newOffsets = ReadBytes(files.Offsets());
        }
        for (const Source& source : kSources) {
            SCOPED_TRACE(std::string(exported.name) + " with an exception from the " + source.name);
            Workspace files;
            const std::vector<std::string> before = files.Files();
            MessageRecorder quiet;
            failure_tests::PrepareThroughExports(files, exported.display);
            g_thrown = 0;
            bool escaped = false;
            bool thrown = false;
            try {
                std::unique_ptr<Thrower> thrower = source.arm();
                exported.call(files);
                thrown = thrower->Thrown();
            } catch (...) {
                escaped = true;
            }
            EXPECT_FALSE(escaped);
            if (thrown) forced.insert(exported.name);
            const std::vector<uint8_t> lut = ReadBytes(files.Lut());
            const std::vector<uint8_t> offsets = ReadBytes(files.Offsets());
            EXPECT_TRUE(lut == files.OldLut() || lut == newLut);
            EXPECT_TRUE(offsets == files.OldOffsets() || offsets == newOffsets);
            files.ExpectFilesAsBefore(before);
            MessageRecorder quietAgain;  // the message thrower took the sink away
            failure_tests::UseEverything();
        }
    }
    // Every export that allocates had an exception forced inside it.
    for (const failure_tests::Export& exported : failure_tests::Exports())
        EXPECT_EQ(forced.count(exported.name), exported.allocates ? 1u : 0u) << exported.name;
}
