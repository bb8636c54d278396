#include "fuzz/FuzzSupport.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>

#include "image/Frame.h"
#include "platform/DisplayContext.h"

namespace fuzzing {

namespace {

// One folder per process, removed when the process ends normally. A run that aborts leaves it
// behind in the temporary folder, with the input that was being read.
const testing_support::TempDir& Scratch() {
    static const testing_support::TempDir folder("kavrel-fuzz-");
    return folder;
}

}  // namespace

std::string ScratchPath(const std::string& name) { return Scratch().Path(name); }

std::string WriteScratchFile(const std::string& name, const uint8_t* data, size_t size) {
    const std::string path = ScratchPath(name);
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    if (size != 0)
        file.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    file.close();
    if (!file) Fail(__FILE__, __LINE__, "the input could not be written to the scratch folder");
    return path;
}

std::string WriteScratchFile(const std::string& name, const std::vector<uint8_t>& bytes) {
    return WriteScratchFile(name, bytes.data(), bytes.size());
}

void PackInEveryDelayMode(CFrame& plane) {
    CDC noDisplay;
    for (int32_t mode = 0; mode < 3; ++mode) {
        plane.SetDelayLine(mode > 0);
        plane.SetDelayShift(mode > 1);
        plane.Output(noDisplay);
    }
}

void Fail(const char* file, int line, const char* what) {
    std::fprintf(stderr, "%s:%d: expectation failed: %s\n", file, line, what);
    std::fflush(stderr);
    std::abort();
}

}  // namespace fuzzing
