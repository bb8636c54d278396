// Running the built kavrel-host in a fresh folder, as a user runs it, for the command tests.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "support/TestFiles.h"

namespace host_tests {

// A fresh folder for a command, removed with everything in it when the object goes; Path() is
// the folder itself.
class CFolder : public testing_support::TempDir {
public:
    CFolder() : TempDir("kavrel-host-test-") {}
    std::string Path(const std::string& name = std::string()) const {
        return name.empty() ? Folder().string() : TempDir::Path(name);
    }
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
