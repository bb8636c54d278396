#include "support/Hooks.h"

#include "base/Allocation.h"
#include "platform/File.h"

namespace testing_support {

namespace {
int g_allocationCount = 0;
int g_failAt = 0;
bool g_failAllAfter = false;
int64_t g_failWriteAt = 0;

bool CountAndFail(size_t) {
    ++g_allocationCount;
    return g_allocationCount == g_failAt || (g_failAllAfter && g_allocationCount > g_failAt);
}

bool FailWrite(int64_t offset, size_t size) {
    return offset + static_cast<int64_t>(size) > g_failWriteAt;
}

int g_writeCalls = 0;
int g_failWriteCall = 0;

bool FailWriteCall(int64_t, size_t) { return ++g_writeCalls == g_failWriteCall; }
}  // namespace

MessageRecorder::MessageRecorder() {
    platform::SetMessageSink([this](const std::string& text, platform::MessageStyle style) {
        m_messages.push_back(Message{text, style});
    });
}

MessageRecorder::~MessageRecorder() { platform::SetMessageSink(nullptr); }

std::vector<std::string> MessageRecorder::Texts() const {
    std::vector<std::string> texts;
    for (const Message& m : m_messages) texts.push_back(m.text);
    return texts;
}

AllocationFailure::AllocationFailure(int failAt, bool failAllAfter) {
    g_allocationCount = 0;
    g_failAt = failAt;
    g_failAllAfter = failAllAfter;
    kavrel::SetAllocationFailureHook(CountAndFail);
}

AllocationFailure::~AllocationFailure() { kavrel::SetAllocationFailureHook(nullptr); }

int AllocationFailure::Allocations() const { return g_allocationCount; }

WriteFailure::WriteFailure(int64_t failAtOffset) {
    g_failWriteAt = failAtOffset;
    platform::SetWriteFailureHook(FailWrite);
}

WriteFailure::~WriteFailure() { platform::SetWriteFailureHook(nullptr); }

WriteCallFailure::WriteCallFailure(int failAtCall) {
    g_writeCalls = 0;
    g_failWriteCall = failAtCall;
    platform::SetWriteFailureHook(FailWriteCall);
}

WriteCallFailure::~WriteCallFailure() { platform::SetWriteFailureHook(nullptr); }

int WriteCallFailure::Calls() const { return g_writeCalls; }

FolderFlushFailure::FolderFlushFailure() { platform::SetFolderFlushFailure(true); }

FolderFlushFailure::~FolderFlushFailure() { platform::SetFolderFlushFailure(false); }

}  // namespace testing_support
