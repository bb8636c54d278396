// Small helpers shared by the commands.
#include <cctype>
#include <csignal>
#include <cstdio>
#include <filesystem>

#include "Commands.h"
#include "Errors.h"
#include "Files.h"
#include "Guards.h"
#include "Paths.h"

namespace host {

namespace {

volatile std::sig_atomic_t g_interrupted = 0;
void OnInterrupt(int) { g_interrupted = 1; }

}  // namespace

CInterruptGuard::CInterruptGuard() {
    g_interrupted = 0;
    m_pPrevious = std::signal(SIGINT, OnInterrupt);
}

CInterruptGuard::~CInterruptGuard() { std::signal(SIGINT, m_pPrevious); }

bool CInterruptGuard::Interrupted() { return g_interrupted != 0; }

const char* ColourName(int colour) {
    static const char* const names[] = {"blue", "green", "red"};
    return colour >= 0 && colour < 3 ? names[colour] : "?";
}

const char* PositionName(int position) {
    static const char* const names[] = {"upper left", "upper right", "lower right", "lower left"};
    return position >= 0 && position < 4 ? names[position] : "?";
}

std::string Milliseconds(double seconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", seconds * 1000);
    return text;
}

void RefuseSpecialFile(const std::string& path, const std::string& what) {
    std::error_code error;
    const std::filesystem::file_status status =
        std::filesystem::status(FsPath(path), error);
    if (std::filesystem::is_directory(status))
        throw CHostError(path + ": is a folder, not a file (" + what + ")");
    if (std::filesystem::exists(status) && !std::filesystem::is_regular_file(status))
        throw CHostError(path + ": is no regular file (a FIFO or a device?) (" + what + ")");
}

void RequireFile(const std::string& path, const std::string& what) {
    if (path.empty()) throw CUsageError(what + ": the file name is empty");
    RefuseSpecialFile(path, what);
    if (!FileExists(path)) throw CHostError(path + ": no such file (" + what + ")");
}

void RequireFolderOf(const std::string& path, const std::string& what) {
    if (path.empty()) throw CUsageError(what + ": the file name is empty");
    const std::filesystem::path folder = FsPath(path).parent_path();
    std::error_code error;
    if (!folder.empty() && !std::filesystem::is_directory(folder, error))
        throw CHostError(path + ": the folder " + NarrowPath(folder) + " does not exist (" + what +
                         ")");
}

void RequireExtension(const std::string& path, const std::string& extension,
                      const std::string& what) {
    std::string actual = NarrowPath(FsPath(path).extension());
    for (char& c : actual) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (!actual.empty() && actual != extension)
        throw CUsageError(what + " " + path + ": the file is written as " + extension +
                          ", not as " + actual);
}

}  // namespace host
