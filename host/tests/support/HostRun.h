// Running the built kavrel-host in a fresh folder, as a user runs it, for the command tests.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace host_tests {

// A fresh folder, removed with everything in it when the object goes.
class CFolder {
public:
    CFolder();
    virtual ~CFolder();
    CFolder(const CFolder&) = delete;
    CFolder& operator=(const CFolder&) = delete;
    std::string Path(const std::string& name = std::string()) const;

private:
    std::filesystem::path m_path;
};

struct CRun {
    int status;
    std::string out;
    std::string err;
};

// Runs kavrel-host with the arguments in the folder and returns its exit status and output;
// environment holds NAME=VALUE settings for the run.
CRun RunHost(const CFolder& folder, const std::vector<std::string>& args,
             const std::vector<std::string>& environment = {});

// The same, with the command run through the programs and arguments of prefix first (such as
// "timeout 60" or a change of user), and the host program at host (with the library beside it).
CRun RunHostThrough(const std::vector<std::string>& prefix, const CFolder& folder,
                    const std::vector<std::string>& args,
                    const std::vector<std::string>& environment = {},
                    const std::string& host = KAVREL_HOST_PATH);

// The loaded library for the tests that call the exports themselves.
const char* LibraryPath();

}  // namespace host_tests
