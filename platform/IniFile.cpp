#include "platform/IniFile.h"

#include <cctype>
#include <cstdint>
#include <sstream>

namespace platform {

namespace {

std::string Trim(const std::string& s) {
    size_t begin = 0, end = s.size();
    while (begin < end && std::isspace(static_cast<unsigned char>(s[begin]))) ++begin;
    while (end > begin && std::isspace(static_cast<unsigned char>(s[end - 1]))) --end;
    return s.substr(begin, end - begin);
}

bool EqualNoCase(const std::string& a, const char* b) {
    size_t i = 0;
    for (; i < a.size() && b[i] != '\0'; ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    }
    return i == a.size() && b[i] == '\0';
}

int DigitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'z') return c - 'a' + 10;
    if (c >= 'A' && c <= 'Z') return c - 'A' + 10;
    return 99;
}

// The number at the start of the value: optional sign, then decimal or a 0x/0o/0b prefix;
// arithmetic wraps at 32 bits as the Windows conversion does.
unsigned ParseProfileNumber(const std::string& value) {
    size_t i = 0;
    bool negative = false;
    if (i < value.size() && (value[i] == '+' || value[i] == '-')) negative = value[i++] == '-';
    unsigned base = 10;
    if (i + 1 < value.size() && value[i] == '0') {
        const char p = static_cast<char>(std::tolower(static_cast<unsigned char>(value[i + 1])));
        if (p == 'x') base = 16;
        if (p == 'o') base = 8;
        if (p == 'b') base = 2;
        if (base != 10) i += 2;
    }
    uint32_t result = 0;
    for (; i < value.size(); ++i) {
        const int digit = DigitValue(value[i]);
        if (digit >= static_cast<int>(base)) break;
        result = result * base + static_cast<uint32_t>(digit);
    }
    return negative ? 0u - result : result;
}

}  // namespace

unsigned ProfileIntFromText(const std::string& text, const char* section, const char* key,
                            int defaultValue) {
    std::istringstream lines(text);
    std::string line;
    bool inSection = false;
    while (std::getline(lines, line)) {
        line = Trim(line);
        if (line.empty() || line[0] == ';') continue;
        if (line[0] == '[') {
            const size_t close = line.find(']');
            inSection = close != std::string::npos && EqualNoCase(Trim(line.substr(1, close - 1)), section);
            continue;
        }
        if (!inSection) continue;
        const size_t equals = line.find('=');
        if (equals == std::string::npos || !EqualNoCase(Trim(line.substr(0, equals)), key)) continue;
        const std::string value = Trim(line.substr(equals + 1));
        if (value.empty()) return static_cast<unsigned>(defaultValue);
        return ParseProfileNumber(value);
    }
    return static_cast<unsigned>(defaultValue);
}

}  // namespace platform
