#include <cstdio>
#include <fstream>
#include <iterator>

#include "win32/Host.h"

namespace {

std::vector<HostCheck>& Checks() {
    static std::vector<HostCheck> checks;
    return checks;
}

int g_failures = 0;

template <class Function>
void Resolve(HMODULE module, Function& function, const char* name) {
    function = reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
    if (function == nullptr) {
        std::printf("missing export %s\n", name);
        std::exit(1);
    }
}

Kavrel LoadKavrel() {
    HMODULE module = LoadLibraryA("kavrel.dll");
    if (module == nullptr) {
        std::printf("kavrel.dll cannot be loaded (error %lu)\n", GetLastError());
        std::exit(1);
    }
    Kavrel k{};
#define KAVREL_RESOLVE(name, bytes) Resolve(module, k.name, #name);
    KAVREL_EXPORTS(KAVREL_RESOLVE)
#undef KAVREL_RESOLVE
    return k;
}

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

}  // namespace

const Kavrel& Library() {
    static const Kavrel kavrel = LoadKavrel();
    return kavrel;
}

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

HostTempDir::HostTempDir() {
    char base[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, base);
    static int counter = 0;
    m_path = std::string(base) + "kavrel-host-" + std::to_string(GetCurrentProcessId()) + "-" +
             std::to_string(counter++);
    CreateDirectoryA(m_path.c_str(), nullptr);
}

HostTempDir::~HostTempDir() {
    WIN32_FIND_DATAA entry;
    HANDLE find = FindFirstFileA((m_path + "\\*").c_str(), &entry);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            DeleteFileA(Path(entry.cFileName).c_str());
        } while (FindNextFileA(find, &entry));
        FindClose(find);
    }
    RemoveDirectoryA(m_path.c_str());
}

void WriteFileBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

std::vector<uint8_t> ReadFileBytes(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

int RegisterCheck(const char* name, void (*run)()) {
    Checks().push_back(HostCheck{name, run});
    return 0;
}

void ReportFailure(const char* file, int line, const std::string& what) {
    ++g_failures;
    std::printf("  %s:%d: %s\n", file, line, what.c_str());
}

int main(int argc, char** argv) {
    const std::string only = argc > 1 ? argv[1] : "";
    int passed = 0, failed = 0;
    Library();
    for (const HostCheck& check : Checks()) {
        if (!only.empty() && only != check.name) continue;
        const int before = g_failures;
        check.run();
        const bool ok = g_failures == before;
        std::printf("%s %s\n", ok ? "[ PASS ]" : "[ FAIL ]", check.name);
        (ok ? passed : failed)++;
    }
    std::printf("%d passed, %d failed\n", passed, failed);
    std::fflush(stdout);
    return failed == 0 && passed > 0 ? 0 : 1;
}
