#include "HostRun.h"

#include <sys/wait.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>

namespace host_tests {

namespace {

std::string Quote(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

}  // namespace

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
    // A build for another processor runs its host through the same emulator as its tests.
    if (*KAVREL_HOST_EMULATOR != '\0') command += std::string(" ") + KAVREL_HOST_EMULATOR;
    command += " " + Quote(host);
    for (const std::string& arg : args) command += " " + Quote(arg);
    // Outputs with a name of their own, so that runs in the same folder at once keep theirs.
    static std::atomic<unsigned> runs{0};
    const std::string number = std::to_string(runs++);
    const std::string out = folder.Path(".host-out-" + number),
                      err = folder.Path(".host-err-" + number);
    command += " >" + Quote(out) + " 2>" + Quote(err);
    const int status = std::system(command.c_str());
    CRun run{WIFEXITED(status) ? WEXITSTATUS(status) : -1, testing_support::ReadText(out),
             testing_support::ReadText(err)};
    std::filesystem::remove(out);
    std::filesystem::remove(err);
    return run;
}

const char* LibraryPath() { return KAVREL_LIBRARY_PATH; }

}  // namespace host_tests
