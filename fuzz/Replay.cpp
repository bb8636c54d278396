// Runs saved fuzz inputs through a target without libFuzzer: every file named on the command line
// and every file in every folder named there (sorted, not recursive). A folder that does not
// exist counts as empty; at least one input must have run.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "fuzz/FuzzSupport.h"

int main(int argc, char** argv) {
    namespace fs = std::filesystem;
    size_t inputs = 0;
    for (int i = 1; i < argc; ++i) {
        const fs::path argument = argv[i];
        std::vector<fs::path> files;
        if (fs::is_directory(argument)) {
            for (const fs::directory_entry& entry : fs::directory_iterator(argument))
                if (entry.is_regular_file()) files.push_back(entry.path());
            std::sort(files.begin(), files.end());
        } else if (fs::is_regular_file(argument)) {
            files.push_back(argument);
        }
        for (const fs::path& file : files) {
            const std::vector<uint8_t> bytes = testing_support::ReadBytes(file.string());
            // An empty vector may have no storage; libFuzzer passes a valid pointer all the same.
            static const uint8_t none = 0;
            LLVMFuzzerTestOneInput(bytes.empty() ? &none : bytes.data(), bytes.size());
            ++inputs;
        }
        std::printf("%s: %zu inputs\n", argument.string().c_str(), files.size());
    }
    std::printf("%zu inputs replayed\n", inputs);
    return inputs > 0 ? 0 : 1;
}
