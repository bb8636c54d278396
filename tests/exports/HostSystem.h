// What the export tests need of the system the library runs on: its message boxes, its settings
// file and the x87 unit's precision. The Windows build answers the boxes and looks at them
// (win32/HostSystem.cpp); the portable build writes its messages to standard error, where they
// are read instead (posix/HostSystem.cpp).
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "base/NonCopyable.h"

#ifndef _WIN32
#include "support/SettingsFolder.h"
#endif

// A message box that the library showed, answered with OK.
struct CapturedBox {
    std::string caption;
    std::string text;
    // Whether it showed an icon (the exclamation mark of a failure); not known where the
    // messages are written as text.
    std::optional<bool> icon;
};

// Runs the action and returns the message boxes it showed, each closed with OK.
std::vector<CapturedBox> CaptureMessageBoxes(const std::function<void()>& action);

// Exactly one box, captioned with the library's name, holding the text, with an icon or without
// one wherever that can be seen.
inline testing::AssertionResult IsOneBox(const std::vector<CapturedBox>& boxes,
                                         const std::string& text, bool icon) {
    if (boxes.size() != 1) return testing::AssertionFailure() << boxes.size() << " boxes";
    const CapturedBox& box = boxes[0];
    if (box.caption != "kavrel") return testing::AssertionFailure() << "caption " << box.caption;
    if (box.text != text)
        return testing::AssertionFailure() << "text \"" << box.text << "\", not \"" << text << "\"";
    if (box.icon.value_or(icon) != icon)
        return testing::AssertionFailure() << (icon ? "no icon" : "an icon");
    return testing::AssertionSuccess();
}

// The library's settings file holding the text for as long as the object exists (none for an
// empty text), where the library looks for it; whatever was there before comes back afterwards.
class SettingsFile : private kavrel::CNonCopyable {
public:
    explicit SettingsFile(const std::string& text);
    ~SettingsFile();

private:
#ifdef _WIN32
    std::string m_strPath;  // kavrel.INI in the Windows folder
    std::optional<std::vector<uint8_t>> m_before;
#else
    testing_support::SettingsFolder m_Folder;
#endif
};

// Runs the action with the x87 unit rounding to single precision, as some hosts set it (Direct3D
// does), where a host can set it; elsewhere it just runs the action.
void RunAtSinglePrecisionX87(const std::function<void()>& action);
