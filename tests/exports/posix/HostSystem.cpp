// The portable side: the library writes each message to standard error as "[kavrel] text", which
// is caught in a file while the action runs; the settings file lies in a folder of its own.
#include <unistd.h>

#include <cstdio>

#include "exports/HostSystem.h"
#include "base/NonCopyable.h"

namespace {

// Standard error redirected into a temporary file for as long as the object exists.
class StderrCapture : private kavrel::CNonCopyable {
public:
    StderrCapture() : m_pFile(std::tmpfile()), m_nSaved(dup(STDERR_FILENO)) {
        std::fflush(stderr);
        if (m_pFile != nullptr) dup2(fileno(m_pFile), STDERR_FILENO);
    }
    ~StderrCapture() {
        Restore();
        if (m_pFile != nullptr) std::fclose(m_pFile);
    }

    // What was written meanwhile; standard error is itself again afterwards.
    std::string Text() {
        Restore();
        std::string text;
        if (m_pFile == nullptr) return text;
        std::rewind(m_pFile);
        char chunk[4096];
        for (size_t n; (n = std::fread(chunk, 1, sizeof chunk, m_pFile)) > 0;) text.append(chunk, n);
        return text;
    }

private:
    void Restore() {
        if (m_nSaved < 0) return;
        std::fflush(stderr);
        dup2(m_nSaved, STDERR_FILENO);
        close(m_nSaved);
        m_nSaved = -1;
    }

    std::FILE* m_pFile;
    int m_nSaved;
};

// The messages of the text: each begins with its caption in brackets, at the start or after the
// line break that ends the one before.
std::vector<CapturedBox> MessagesOf(const std::string& text) {
    std::vector<CapturedBox> boxes;
    const size_t close = text.find("] ");
    if (text.empty() || text[0] != '[' || close == std::string::npos) return boxes;
    const std::string caption = text.substr(1, close - 1);
    const std::string start = "\n[" + caption + "] ";
    for (size_t at = close + 2; at <= text.size();) {
        size_t end = text.find(start, at);
        if (end == std::string::npos) end = text.size() - (text.back() == '\n' ? 1 : 0);
        boxes.push_back(CapturedBox{caption, text.substr(at, end - at), std::nullopt});
        at = end + start.size();
    }
    return boxes;
}

}  // namespace

std::vector<CapturedBox> CaptureMessageBoxes(const std::function<void()>& action) {
    StderrCapture capture;
    action();
    return MessagesOf(capture.Text());
}

SettingsFile::SettingsFile(const std::string& text) : m_Folder(text) {}

SettingsFile::~SettingsFile() = default;

// The native build's floating point does not depend on the x87 unit's precision: on x86-64 it is
// done in SSE registers.
void RunAtSinglePrecisionX87(const std::function<void()>& action) { action(); }
