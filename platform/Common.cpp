// Parts of the platform layer that are the same on every system.
#include <utility>

#include "platform/File.h"
#include "platform/MessageBox.h"
#include "platform/PlatformInternal.h"

namespace platform {

namespace {
WriteFailureHook g_writeFailureHook = nullptr;
bool g_failFolderFlush = false;
MessageSink& Sink() {
    static MessageSink sink;
    return sink;
}
}  // namespace

CFile::CFile() : m_hFile(kNoFile), m_bWritable(false), m_bFailed(false) {}

CFile::~CFile() { Close(); }

bool CFile::IsOpen() const { return m_hFile != kNoFile; }

bool CFile::Adopt(intptr_t handle, bool writable) {
    m_hFile = handle;
    m_bWritable = writable;
    m_bFailed = false;
    return true;
}

CFileLock::CFileLock() : m_hFile(kNoFile), m_bTimedOut(false) {}

CFileLock::~CFileLock() { Release(); }

bool CFileLock::IsHeld() const { return m_hFile != kNoFile; }

void SetWriteFailureHook(WriteFailureHook hook) { g_writeFailureHook = hook; }

bool WriteShouldFail(int64_t offset, size_t size) {
    return g_writeFailureHook != nullptr && g_writeFailureHook(offset, size);
}

void SetFolderFlushFailure(bool fail) { g_failFolderFlush = fail; }

bool FolderFlushShouldFail() { return g_failFolderFlush; }

void SetMessageSink(MessageSink sink) { Sink() = std::move(sink); }

bool DeliverToSink(const std::string& text, MessageStyle style) {
    if (!Sink()) return false;
    Sink()(text, style);
    return true;
}

}  // namespace platform
