// Shared by the fuzz targets: the input handed over as a file, and checks that stop the run
// loudly so that libFuzzer keeps the input that broke an expectation.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "support/TestFiles.h"

class CFrame;

namespace fuzzing {

// A path in this process's scratch folder (under the temporary folder, TMPDIR when set).
std::string ScratchPath(const std::string& name);

// Writes the bytes to the scratch file of that name, replacing what it held, and returns its path.
std::string WriteScratchFile(const std::string& name, const uint8_t* data, size_t size);
std::string WriteScratchFile(const std::string& name, const std::vector<uint8_t>& bytes);

// Packs the plane for the display in each delay-line mode (off, on, on and shifted), with no
// display to draw on: everything but the drawing. The plane keeps the last mode.
void PackInEveryDelayMode(CFrame& plane);

// Reports the failed expectation and aborts, so that the fuzzer saves the input.
[[noreturn]] void Fail(const char* file, int line, const char* what);

}  // namespace fuzzing

#define FUZZ_CHECK(condition)                                              \
    do {                                                                   \
        if (!(condition)) ::fuzzing::Fail(__FILE__, __LINE__, #condition); \
    } while (0)

// The entry point that libFuzzer calls, and that the replay program calls for every saved input.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);
