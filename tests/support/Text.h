// Checks on the text a program printed. Header only.
#pragma once

#include <string>

namespace testing_support {

inline bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

}  // namespace testing_support
