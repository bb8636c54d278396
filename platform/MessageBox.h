// Modal message boxes, the library's only way of talking to a user.
#pragma once

#include <functional>
#include <string>

namespace platform {

enum class MessageStyle {
    Failure,      // OK button and exclamation icon
    Information,  // OK button only
};

// Shows the text in a modal box captioned with the module's base name and returns when it is
// closed. Win32: MessageBoxA owned by the host's active window. Portable: the text goes to stderr.
void ShowMessageBox(const std::string& text, MessageStyle style);

// Replaces where message boxes go (tests record them); an empty sink restores the default.
using MessageSink = std::function<void(const std::string& text, MessageStyle style)>;
void SetMessageSink(MessageSink sink);

}  // namespace platform
