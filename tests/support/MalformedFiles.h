// The hostile files of tests/data/malformed and the outcome that expected.txt gives for each.
// Header only and standard C++ alone, so that the export tests can use it too; the program
// names the data folder in KAVREL_TEST_DATA_DIR (the environment variable of that name overrides
// it).
#pragma once

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace testing_support {

inline std::string MalformedDir() {
    const char* dir = std::getenv("KAVREL_TEST_DATA_DIR");
    return std::string(dir != nullptr && *dir != '\0' ? dir : KAVREL_TEST_DATA_DIR) + "/malformed";
}

struct MalformedExpectation {
    std::string file;
    std::vector<std::string> outcome;  // the words after the name
};

// The lines of expected.txt, comments left out; none when the table cannot be read.
inline std::vector<MalformedExpectation> ReadMalformedExpectations() {
    std::ifstream table(MalformedDir() + "/expected.txt");
    std::vector<MalformedExpectation> expectations;
    std::string line;
    while (std::getline(table, line)) {
        std::istringstream words(line);
        MalformedExpectation e;
        if (!(words >> e.file) || e.file[0] == '#') continue;
        for (std::string word; words >> word;) e.outcome.push_back(word);
        expectations.push_back(e);
    }
    return expectations;
}

}  // namespace testing_support
