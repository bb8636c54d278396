// The Windows test host: loads kavrel.dll by name with LoadLibraryA, resolves the 22 exports with
// GetProcAddress, and runs the registered checks against them.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "kavrel.h"
#include "kavrel_exports.h"

// The 22 functions, each of the type kavrel.h declares it with.
struct Kavrel {
#define KAVREL_FUNCTION_POINTER(name, bytes) decltype(&::name) name = nullptr;
    KAVREL_EXPORTS(KAVREL_FUNCTION_POINTER)
#undef KAVREL_FUNCTION_POINTER
};

// The library loaded once for the whole run; every check shares its engine.
const Kavrel& Library();

// A message box that the library showed, answered with OK by the host.
struct CapturedBox {
    std::string caption;
    std::string text;
    bool exclamationIcon;
};

// Runs the action and returns the message boxes it showed, each closed with OK.
std::vector<CapturedBox> CaptureMessageBoxes(const std::function<void()>& action);

// A fresh folder under the Windows temporary folder, removed at the end of the check.
class HostTempDir {
public:
    HostTempDir();
    ~HostTempDir();
    std::string Path(const std::string& name) const { return m_path + "\\" + name; }

private:
    std::string m_path;
};

void WriteFileBytes(const std::string& path, const std::vector<uint8_t>& bytes);
std::vector<uint8_t> ReadFileBytes(const std::string& path);

// Check registry and assertions.
struct HostCheck {
    const char* name;
    void (*run)();
};
int RegisterCheck(const char* name, void (*run)());
void ReportFailure(const char* file, int line, const std::string& what);

#define HOST_CHECK(name)                                          \
    static void name();                                           \
    static const int name##_registered = RegisterCheck(#name, name); \
    static void name()

#define EXPECT_TRUE(condition) \
    do { if (!(condition)) ReportFailure(__FILE__, __LINE__, #condition); } while (0)

#define EXPECT_EQ(actual, expected)                                                  \
    do {                                                                             \
        const auto& actual_ = (actual);                                              \
        const auto& expected_ = (expected);                                          \
        if (!(actual_ == expected_)) {                                               \
            std::ostringstream what_;                                                \
            what_ << #actual << " is " << actual_ << ", expected " << expected_;     \
            ReportFailure(__FILE__, __LINE__, what_.str());                          \
        }                                                                            \
    } while (0)
