// Test seams: recorded message boxes and injected allocation and write failures.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/MessageBox.h"

namespace testing_support {

// Records every message box shown while it exists instead of showing it.
class MessageRecorder {
public:
    MessageRecorder();
    ~MessageRecorder();
    struct Message {
        std::string text;
        platform::MessageStyle style;
    };
    const std::vector<Message>& Messages() const { return m_messages; }
    std::vector<std::string> Texts() const;

private:
    std::vector<Message> m_messages;
};

// While it exists, the allocation number n (counting from 1) and, with failAllAfter, every later
// one fail. Allocations(): how many buffer allocations were asked for.
class AllocationFailure {
public:
    explicit AllocationFailure(int failAt, bool failAllAfter = false);
    ~AllocationFailure();
    int Allocations() const;
};

// While it exists, the write that would reach byte offset failAtOffset or beyond fails.
class WriteFailure {
public:
    explicit WriteFailure(int64_t failAtOffset);
    ~WriteFailure();
};

// While it exists, write call number n (counting from 1, over all files) fails, and the calls
// are counted.
class WriteCallFailure {
public:
    explicit WriteCallFailure(int failAtCall);
    ~WriteCallFailure();
    int Calls() const;
};

// While it exists, flushing a folder after a file was moved into it fails.
class FolderFlushFailure {
public:
    FolderFlushFailure();
    ~FolderFlushFailure();
};

}  // namespace testing_support
