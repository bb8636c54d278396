// The files of tests/data/malformed through the DLL, against tests/data/malformed/expected.txt.
#include <cstdlib>
#include <fstream>

#include "win32/Host.h"

namespace {

std::string MalformedDir() {
    const char* dir = std::getenv("KAVREL_TEST_DATA_DIR");
    return std::string(dir != nullptr && *dir != '\0' ? dir : KAVREL_TEST_DATA_DIR) + "/malformed";
}

struct Expectation {
    std::string file;
    std::vector<std::string> outcome;
};

std::vector<Expectation> ReadExpectations() {
    std::ifstream table(MalformedDir() + "/expected.txt");
    std::vector<Expectation> expectations;
    std::string line;
    while (std::getline(table, line)) {
        std::istringstream words(line);
        Expectation e;
        if (!(words >> e.file) || e.file[0] == '#') continue;
        for (std::string word; words >> word;) e.outcome.push_back(word);
        expectations.push_back(e);
    }
    return expectations;
}

bool EndsWith(const std::string& s, const char* end) {
    const std::string e(end);
    return s.size() >= e.size() && s.compare(s.size() - e.size(), e.size(), e) == 0;
}

}  // namespace

// "load N ...": SetImageFile over a good image returns N. Every file, loaded as what its name
// says, computes a frame without a message box, and nothing is written beside it.
HOST_CHECK(MalformedFilesGiveTheirResultsThroughTheDll) {
    const Kavrel& k = Library();
    const std::vector<Expectation> expectations = ReadExpectations();
    EXPECT_TRUE(expectations.size() > 50);
    const std::string good = MalformedDir() + "/bmp-good-8x6.bmp";
    k.DisableErrorWindow(0);
    size_t bitmaps = 0;
    for (const Expectation& e : expectations) {
        const std::string path = MalformedDir() + "/" + e.file;
        const std::vector<CapturedBox> boxes = CaptureMessageBoxes([&] {
            if (EndsWith(e.file, ".bmp")) {
                EXPECT_EQ(k.SetImageFile(good.c_str()), 0);
                const int code = k.SetImageFile(path.c_str());
                if (e.outcome.size() < 2 || code != std::atoi(e.outcome[1].c_str()))
                    ReportFailure(__FILE__, __LINE__,
                                  e.file + ": SetImageFile returned " + std::to_string(code));
                ++bitmaps;
            } else if (EndsWith(e.file, ".frm")) {
                k.SetOffsetFile(path.c_str());
            } else if (EndsWith(e.file, ".lut")) {
                k.SetLutFile(path.c_str());
            }
            k.CalcFrame(0);
        });
        if (!boxes.empty()) ReportFailure(__FILE__, __LINE__, e.file + " showed a message box");
    }
    EXPECT_TRUE(bitmaps > 30);
    k.SetOffsetFile("");
    k.SetLutFile("");
    k.SetImageFile("");
}
