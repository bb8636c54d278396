// Shared between the implementations of the platform layer; not used outside platform/.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/MessageBox.h"

namespace platform {

// True when the test hook asks the next write to fail.
bool WriteShouldFail(int64_t offset, size_t size);
// True when the test hook asks folder flushes to fail.
bool FolderFlushShouldFail();
// Hands the message to a sink set by SetMessageSink; false when none is set.
bool DeliverToSink(const std::string& text, MessageStyle style);

}  // namespace platform
