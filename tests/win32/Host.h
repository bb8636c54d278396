// The Windows test host: loads kavrel.dll by name with LoadLibraryA, resolves the 22 exports with
// GetProcAddress, and runs the registered checks against them.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

struct Kavrel {
    void(__stdcall* ShowDialog)();
    void(__stdcall* SetDeviceName)(const char*);
    void(__stdcall* SetLutFile)(const char*);
    void(__stdcall* SetOffsetFile)(const char*);
    int(__stdcall* SetImageFile)(const char*);
    void(__stdcall* SetScanFile)(const char*);
    int(__stdcall* SetColor)(int);
    int(__stdcall* SetPosition)(int);
    void(__stdcall* OpenOutputDevice)();
    void(__stdcall* CloseOutputDevice)();
    void(__stdcall* CalcFrame)(int);
    void(__stdcall* OutputFrame)(int);
    int(__stdcall* SetDelayLine)(int);
    int(__stdcall* SetDelayShift)(int);
    void(__stdcall* CalcOffset)(int);
    void*(__stdcall* SetBitmapPointer)(void*);
    void(__stdcall* OutputBlankFrame)(int);
    void(__stdcall* SetDensiValue)(int, int);
    void(__stdcall* CalcLut)();
    int(__stdcall* SetCorrectionFactor)(int);
    int(__stdcall* SetThreshold)(int);
    int(__stdcall* DisableErrorWindow)(int);
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
