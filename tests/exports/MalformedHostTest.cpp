// The files of tests/data/malformed through the exports, against tests/data/malformed/expected.txt.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "exports/HostSystem.h"
#include "exports/Library.h"
#include "support/MalformedFiles.h"
#include "support/TestFiles.h"

using testing_support::MalformedDir;
using testing_support::MalformedExpectation;
using testing_support::ReadBytes;
using testing_support::ReadMalformedExpectations;

namespace {

bool EndsWith(const std::string& s, const char* end) {
    const std::string e(end);
    return s.size() >= e.size() && s.compare(s.size() - e.size(), e.size(), e) == 0;
}

}  // namespace

// "load N ...": SetImageFile over a good image returns N. Every file, loaded as what its name
// says, computes a frame without a message box, and nothing is written beside it.
TEST(MalformedHost, FilesGiveTheirResultsThroughTheExports) {
    host::CKavrel& k = Library();
    const std::vector<MalformedExpectation> expectations = ReadMalformedExpectations();
    EXPECT_GT(expectations.size(), 50u);
    const std::string good = MalformedDir() + "/bmp-good-8x6.bmp";
    k.DisableErrorWindow(0);
    size_t bitmaps = 0;
    for (const MalformedExpectation& e : expectations) {
        SCOPED_TRACE(e.file);
        const std::string path = MalformedDir() + "/" + e.file;
        const std::vector<CapturedBox> boxes = CaptureMessageBoxes([&] {
            if (EndsWith(e.file, ".bmp")) {
                EXPECT_EQ(k.SetImageFile(good.c_str()), 0);
                const int code = k.SetImageFile(path.c_str());
                ASSERT_GE(e.outcome.size(), 2u);
                EXPECT_EQ(code, std::atoi(e.outcome[1].c_str())) << "SetImageFile";
                ++bitmaps;
            } else if (EndsWith(e.file, ".frm")) {
                k.SetOffsetFile(path.c_str());
            } else if (EndsWith(e.file, ".lut")) {
                k.SetLutFile(path.c_str());
            }
            k.CalcFrame(0);
        });
        EXPECT_TRUE(boxes.empty()) << "showed a message box";
    }
    EXPECT_GT(bitmaps, 30u);
    k.SetOffsetFile("");
    k.SetLutFile("");
    k.SetImageFile("");
}

// What the offset and LUT files give, seen on the file display: a frame of the good bitmap is
// drawn with the table and the offset map that the file leaves in force. "plane unchanged" draws
// as the map loaded before it, "default table" as the table of a missing file; a file that was
// taken draws otherwise.
TEST(MalformedHost, OffsetAndLutFilesDrawAsExpected) {
    host::CKavrel& k = Library();
    testing_support::TempDir dir;
    const std::string shown = dir.Path("shown.bmp");
    const std::string missing = dir.Path("missing.lut");
    // The map in force before each offset file: 4 x 3 like the frames, every offset +500.
    const std::string previous = dir.Path("previous.frm");
    std::vector<uint8_t> map = {'F', 'R', 'A', 'M', 'E', 0, 12, 0, 0, 0, 4, 0, 0, 0, 3, 0, 0, 0};
    for (int i = 0; i < 12; ++i) map.insert(map.end(), {0xF4, 0x01});
    testing_support::WriteBytes(previous, map);

    k.DisableErrorWindow(1);
    EXPECT_EQ(k.SetImageFile((MalformedDir() + "/bmp-good-8x6.bmp").c_str()), 0);
    k.SetColor(1);
    k.SetPosition(3);
    k.SetDeviceName(("file:" + shown).c_str());
    k.OpenOutputDevice();
    auto draw = [&](const std::string& lut, const std::string& offsets) {
        k.SetLutFile(lut.c_str());
        k.SetOffsetFile(previous.c_str());
        k.SetOffsetFile(offsets.c_str());
        k.CalcFrame(0);
        k.OutputFrame(0);
        return ReadBytes(shown);
    };
    const std::vector<uint8_t> reference = draw(missing, previous);
    EXPECT_EQ(reference.size(), 54u + 1280u * 1024u * 3u);

    size_t checked = 0;
    for (const MalformedExpectation& e : ReadMalformedExpectations()) {
        const std::string path = MalformedDir() + "/" + e.file;
        const std::string outcome = e.outcome.empty() ? "" : e.outcome[0] + " " + e.outcome.back();
        if (EndsWith(e.file, ".frm")) {
            EXPECT_EQ(draw(missing, path) == reference, outcome == "plane unchanged")
                << e.file << " should draw " << (outcome == "plane unchanged" ? "as" : "unlike")
                << " the previous map";
        } else if (EndsWith(e.file, ".lut")) {
            EXPECT_EQ(draw(path, previous) == reference, outcome == "default table")
                << e.file << " should draw " << (outcome == "default table" ? "as" : "unlike")
                << " the default table";
        } else {
            continue;
        }
        ++checked;
    }
    EXPECT_GT(checked, 25u);
    k.CloseOutputDevice();
    k.SetDeviceName("");
    k.SetLutFile("");
    k.SetOffsetFile("");
    k.SetImageFile("");
    k.SetColor(0);
    k.SetPosition(0);
    k.DisableErrorWindow(0);
}
