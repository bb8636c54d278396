// The file display: its device name ("file:" and a file name pattern), and the names of the files
// it writes, numbered by the pattern's one integer conversion. Header-only, so that the host
// names the files the display writes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>

namespace kavrel {

// The device name prefix of a display held in memory whose picture goes to bitmap files.
constexpr char kFileDisplayPrefix[] = "file:";

// The file name pattern of a file display's device name; nothing for another display.
inline std::optional<std::string> FileDisplayPattern(const std::string& deviceName) {
    constexpr size_t prefixLength = sizeof kFileDisplayPrefix - 1;
    if (deviceName.compare(0, prefixLength, kFileDisplayPrefix) != 0) return std::nullopt;
    return deviceName.substr(prefixLength);
}

namespace filename_detail {
constexpr bool IsFlag(char c) { return c == '0' || c == '-' || c == '+' || c == ' '; }
constexpr bool IsDigit(char c) { return c >= '0' && c <= '9'; }
constexpr bool IsIntegerConversion(char c) { return c == 'd' || c == 'i' || c == 'u'; }
}  // namespace filename_detail

// True when the pattern is a usable file name: not empty, and every '%' either part of "%%" or
// of one integer conversion, at most one in all: '%', flags from "0-+ ", a width of at most two
// digits, and 'd', 'i' or 'u'.
inline bool IsFileNamePattern(const std::string& pattern) {
    using namespace filename_detail;
    if (pattern.empty()) return false;
    int conversions = 0;
    const size_t n = pattern.size();
    for (size_t i = 0; i < n; ++i) {
        if (pattern[i] != '%') continue;
        if (++i < n && pattern[i] == '%') continue;
        while (i < n && IsFlag(pattern[i])) ++i;
        size_t digits = 0;
        while (i < n && IsDigit(pattern[i])) ++i, ++digits;
        if (digits > 2 || i == n || !IsIntegerConversion(pattern[i])) return false;
        if (++conversions > 1) return false;
    }
    return true;
}

// The file name of drawing number n; the pattern must be usable (IsFileNamePattern).
inline std::string FileNameFor(const std::string& pattern, uint32_t n) {
    // The pattern holds at most one conversion of an int; n stays within int's range.
    const int value = static_cast<int>(n & 0x7FFFFFFFu);
    const int length = std::snprintf(nullptr, 0, pattern.c_str(), value);
    if (length < 0) return std::string();
    std::string name(static_cast<size_t>(length) + 1, '\0');
    std::snprintf(name.data(), name.size(), pattern.c_str(), value);
    name.resize(static_cast<size_t>(length));
    return name;
}

}  // namespace kavrel
