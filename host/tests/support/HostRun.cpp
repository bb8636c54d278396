#include "HostRun.h"

#include <sys/wait.h>

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>

namespace host_tests {

namespace {

std::string Quote(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

std::string ReadText(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace

CFolder::CFolder() {
    static std::atomic<unsigned> counter{0};
    std::random_device random;
    m_path = std::filesystem::temp_directory_path() /
             ("kavrel-host-test-" + std::to_string(random()) + "-" + std::to_string(counter++));
    std::filesystem::create_directories(m_path);
}

CFolder::~CFolder() {
    std::error_code error;
    std::filesystem::remove_all(m_path, error);
}

std::string CFolder::Path(const std::string& name) const {
    return name.empty() ? m_path.string() : (m_path / name).string();
}

CRun RunHost(const CFolder& folder, const std::vector<std::string>& args,
             const std::vector<std::string>& environment) {
    return RunHostThrough({}, folder, args, environment);
}

CRun RunHostThrough(const std::vector<std::string>& prefix, const CFolder& folder,
                    const std::vector<std::string>& args,
                    const std::vector<std::string>& environment, const std::string& host) {
    std::string command = "cd " + Quote(folder.Path()) + " &&";
    for (const std::string& part : prefix) command += " " + Quote(part);
    command += " env";
    for (const std::string& setting : environment) command += " " + Quote(setting);
    command += " " + Quote(host);
    for (const std::string& arg : args) command += " " + Quote(arg);
    // Outputs with a name of their own, so that runs in the same folder at once keep theirs.
    static std::atomic<unsigned> runs{0};
    const std::string number = std::to_string(runs++);
    const std::filesystem::path out = folder.Path(".host-out-" + number),
                                err = folder.Path(".host-err-" + number);
    command += " >" + Quote(out.string()) + " 2>" + Quote(err.string());
    const int status = std::system(command.c_str());
    CRun run{WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadText(out), ReadText(err)};
    std::filesystem::remove(out);
    std::filesystem::remove(err);
    return run;
}

const char* LibraryPath() { return KAVREL_LIBRARY_PATH; }

}  // namespace host_tests
