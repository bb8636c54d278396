// Failures the host reports to its user: one line, then a non-zero exit status.
#pragma once

#include <stdexcept>
#include <string>

namespace host {

// Bad input or a failed step; main prints the message and exits with status 1.
class CHostError : public std::runtime_error {
public:
    explicit CHostError(const std::string& message) : std::runtime_error(message) {}
};

// A wrong command line; main adds a pointer to --help and exits with status 2.
class CUsageError : public CHostError {
public:
    explicit CUsageError(const std::string& message) : CHostError(message) {}
};

// A library that cannot be loaded, or is no kavrel library; main adds how to name another one.
class CLibraryError : public CHostError {
public:
    explicit CLibraryError(const std::string& message) : CHostError(message) {}
};

}  // namespace host
