// The shared host library's calibrations, as another host (the Python package) calls them: the
// readings read and checked with their lines named and --force's choice, and the same readings
// refused on the table they made.
#include <gtest/gtest.h>

#include <string>

#include "api/kavrel_host.h"
#include "files/Files.h"
#include "support/HostRun.h"
#include "support/Text.h"

namespace {

using host_tests::CFolder;
using testing_support::Contains;
using testing_support::ReadBytes;
using testing_support::WriteText;

std::string CgatsWithoutId(int missing) {
    std::string text = "CGATS.17\nBEGIN_DATA_FORMAT\nSAMPLE_ID D_VIS\nEND_DATA_FORMAT\nBEGIN_DATA\n";
    for (int r = 0; r < 48; ++r) {
        if (r == missing) continue;
        const int h = 10 + 5 * r;
        text += std::to_string(r) + " " + std::to_string(h / 100) + "." +
                std::to_string(100 + h % 100).substr(1) + "\n";
    }
    return text + "END_DATA\n";
}

TEST(HostLibrary, ReadingsAreCheckedWithTheirLinesAndForceReadsThemAllTheSame) {
    CFolder folder;
    WriteText(folder.Path("missing.cgats"), CgatsWithoutId(21));
    const std::string path = folder.Path("missing.cgats");
    uint16_t readings[48] = {};
    char source[64], warnings[512], message[512];
    EXPECT_EQ(KavrelHostReadCheckedReadings(path.c_str(), 0, nullptr, 0, readings, source,
                                            sizeof source, warnings, sizeof warnings, message,
                                            sizeof message),
              1);
    EXPECT_TRUE(Contains(message, "missing.cgats: SAMPLE_ID 21 is missing (20 on line 26"))
        << message;
    // The plain reader refuses such a table too, rather than shifting every later patch.
    EXPECT_EQ(KavrelHostReadReadings(path.c_str(), 0, nullptr, readings, source, sizeof source,
                                     message, sizeof message),
              1);
    EXPECT_EQ(KavrelHostReadCheckedReadings(path.c_str(), 0, nullptr, 1, readings, source,
                                            sizeof source, warnings, sizeof warnings, message,
                                            sizeof message),
              0)
        << message;
    EXPECT_TRUE(Contains(warnings, "SAMPLE_ID 21 is missing")) << warnings;
    EXPECT_EQ(readings[20], 110);
    EXPECT_EQ(readings[21], 120);
}

TEST(HostLibrary, TheSameReadingsAreRefusedOnTheTableTheyMade) {
    CFolder folder;
    const std::string lut = folder.Path("lab.lut");
    uint16_t readings[48];
    for (int r = 0; r < 48; ++r) readings[r] = static_cast<uint16_t>(10 + 5 * r);
    char note[256], message[512];
    // Each calibration here writes the table as a library would: the bytes of its step.
    for (int step = 0; step < 3; ++step) {
        SCOPED_TRACE(step);
        KavrelHostCalibration* calibration = nullptr;
        const int again = step == 2 ? 1 : 0;
        const int refused = KavrelHostBeginCalibrationFrom(lut.c_str(), 0, "readings.txt", readings,
                                                           again, &calibration, note, sizeof note,
                                                           message, sizeof message);
        EXPECT_STREQ(note, "");
        if (step == 1) {
            EXPECT_EQ(refused, 1);
            EXPECT_TRUE(Contains(message, "lab.lut: the readings readings.txt made this file as it "
                                          "is now, applied at "))
                << message;
            EXPECT_EQ(calibration, nullptr);
            continue;
        }
        ASSERT_EQ(refused, 0) << message;
        host::CLutTable table;
        table.lastInput = 255;
        table.entries.assign(256, static_cast<int16_t>(100 * (step + 1)));
        host::WriteFileSafely(lut, host::LutFileBytes(table));
        EXPECT_EQ(KavrelHostEndCalibration(calibration), 1);
    }
    EXPECT_EQ(host::ParseLutFile(lut, ReadBytes(lut)).entries[0], 300);
}

}  // namespace
