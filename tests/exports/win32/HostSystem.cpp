// The Windows side: message boxes answered from a hook, kavrel.INI in the Windows folder, the x87
// unit's precision control.
#include <float.h>
#include <windows.h>

#include "exports/HostSystem.h"
#include "support/TestFiles.h"

namespace {

// Message boxes are answered from a CBT hook on this thread: each dialog window (class #32770)
// is recorded once when it activates and closed with OK.
std::vector<CapturedBox>* g_captured = nullptr;
std::vector<HWND> g_seen;

bool HasIcon(HWND control) {
    return control != nullptr && SendMessageA(control, STM_GETICON, 0, 0) != 0;
}

LRESULT CALLBACK AnswerBoxes(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_ACTIVATE && g_captured != nullptr) {
        HWND box = reinterpret_cast<HWND>(wParam);
        char className[32] = {};
        GetClassNameA(box, className, sizeof className);
        bool seen = false;
        for (HWND h : g_seen) seen = seen || h == box;
        if (std::string(className) == "#32770" && !seen) {
            g_seen.push_back(box);
            char caption[256] = {}, text[4096] = {};
            GetWindowTextA(box, caption, sizeof caption);
            GetDlgItemTextA(box, 0xFFFF, text, sizeof text);
            // Wine's box always has the icon control (0x0440), empty without an icon; Windows
            // adds its control (0x14) only for an icon.
            const bool icon = HasIcon(GetDlgItem(box, 0x0440)) || HasIcon(GetDlgItem(box, 0x14));
            g_captured->push_back(CapturedBox{caption, text, icon});
            PostMessageA(box, WM_COMMAND, IDOK, 0);
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

std::string WindowsSettingsPath() {
    char folder[MAX_PATH] = {};
    GetWindowsDirectoryA(folder, MAX_PATH);
    return std::string(folder) + "\\kavrel.INI";
}

}  // namespace

std::vector<CapturedBox> CaptureMessageBoxes(const std::function<void()>& action) {
    std::vector<CapturedBox> boxes;
    g_captured = &boxes;
    g_seen.clear();
    HHOOK hook = SetWindowsHookExA(WH_CBT, AnswerBoxes, nullptr, GetCurrentThreadId());
    action();
    UnhookWindowsHookEx(hook);
    g_captured = nullptr;
    return boxes;
}

SettingsFile::SettingsFile(const std::string& text) : m_strPath(WindowsSettingsPath()) {
    if (GetFileAttributesA(m_strPath.c_str()) != INVALID_FILE_ATTRIBUTES)
        m_before = testing_support::ReadBytes(m_strPath);
    if (text.empty())
        DeleteFileA(m_strPath.c_str());
    else
        testing_support::WriteBytes(m_strPath, std::vector<uint8_t>(text.begin(), text.end()));
}

SettingsFile::~SettingsFile() {
    if (m_before)
        testing_support::WriteBytes(m_strPath, *m_before);
    else
        DeleteFileA(m_strPath.c_str());
}

void RunAtSinglePrecisionX87(const std::function<void()>& action) {
    unsigned saved = 0, ignored = 0;
    _controlfp_s(&saved, 0, 0);
    _controlfp_s(&ignored, _PC_24, _MCW_PC);
    action();
    _controlfp_s(&ignored, saved, _MCW_PC);
}
