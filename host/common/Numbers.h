// Numbers as the host reads them from command lines and readings files.
#pragma once

#include <string>

namespace host {

// Strict number parsing: the whole text must be the number. False when it is not.
bool ParseInteger(const std::string& text, long long& value);
bool ParseNumber(const std::string& text, double& value);

}  // namespace host
