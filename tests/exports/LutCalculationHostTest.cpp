// CalcLut through the exports, with the gamma taken from the library's settings file.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "exports/HostSystem.h"
#include "exports/Library.h"
#include "support/TestFiles.h"

using testing_support::FileExists;
using testing_support::ReadBytes;

namespace {

int Entry(const std::vector<uint8_t>& file, int index) {
    return static_cast<int16_t>(file[16 + 2 * index] | file[16 + 2 * index + 1] << 8);
}

void SetGreyScale(host::CKavrel& k, int reference, int step) {
    k.SetDensiValue(0, reference);
    for (int r = 1; r <= 46; ++r) k.SetDensiValue(r, reference + step * r);
    k.SetDensiValue(47, 0);
}

}  // namespace

TEST(LutCalculationHost, GammaComesFromTheSettingsOnEveryCall) {
    host::CKavrel& k = Library();
    testing_support::TempDir dir;
    struct Case {
        const char* settings;  // empty: no settings file
        int reference, step;
        bool singlePrecision;
        std::vector<std::pair<int, int>> entries;
    };
    // A host may run the x87 unit at single precision; the table must come out the same. Entry
    // 224 of the grey scale from 10 in steps of 5 depends on single-precision rounding.
    // clang-format off
    const std::vector<Case> cases = {
        {"[Imaging]\r\nGamma=220\r\n", 20, 4, false,
         {{0, 4095}, {1, 4098}, {2, 4101}, {7, 4109}, {64, 3195}, {72, 2938}, {224, 176}, {255, 0}}},
        {"", 10, 5, false,  // the default gamma, 1.80
         {{1, 4055}, {64, 1846}, {128, 674}, {223, 116}, {224, 111}, {254, 2}}},
        {"[Imaging]\r\nGamma=180\r\n", 10, 5, true,
         {{1, 4055}, {64, 1846}, {128, 674}, {223, 116}, {224, 111}, {254, 2}}},
    };
    // clang-format on
    int run = 0;
    std::vector<uint8_t> first;
    for (const Case& c : cases) {
        SCOPED_TRACE(*c.settings != '\0' ? c.settings : "no settings file");
        SettingsFile settings(c.settings);
        // A new file each time: the old table is the default one.
        const std::string lut = dir.Path("calibration" + std::to_string(run++) + ".lut");
        k.SetLutFile(lut.c_str());
        SetGreyScale(k, c.reference, c.step);
        if (c.singlePrecision)
            RunAtSinglePrecisionX87([&] { k.CalcLut(); });
        else
            k.CalcLut();
        const std::vector<uint8_t> file = ReadBytes(lut);
        ASSERT_EQ(file.size(), 528u);
        for (const auto& [x, entry] : c.entries) EXPECT_EQ(Entry(file, x), entry) << "entry " << x;
        if (first.empty()) first = file;
    }

    // A gamma of 0, or one outside 0.10 .. 10.00, gives no table: no new file, and an existing
    // one stays as it was. "1.80" reads as 1, "none" as 0; "-180" wraps to a huge number.
    const std::string existing = dir.Path("calibration0.lut");
    for (const char* gamma : {"0", "9", "1001", "1.80", "-180", "none"}) {
        SCOPED_TRACE(gamma);
        SettingsFile settings(std::string("[Imaging]\r\nGamma=") + gamma + "\r\n");
        const std::string lut = dir.Path("unused.lut");
        k.SetLutFile(lut.c_str());
        SetGreyScale(k, 10, 5);
        k.CalcLut();
        EXPECT_FALSE(FileExists(lut));
        k.SetLutFile(existing.c_str());
        k.CalcLut();
        EXPECT_EQ(ReadBytes(existing), first);
    }
    k.SetLutFile("");
}

TEST(LutCalculationHost, CalcLutRefusesAnOldTableTooShortForTheGreyScale) {
    host::CKavrel& k = Library();
    testing_support::TempDir dir;
    const std::string lut = dir.Path("short.lut");
    // 100 entries: the old table stops before input 252.
    const uint8_t header[16] = {'L', 'U', 'T', 'F', 'I', 'L', 'E', 0, 100, 0, 0, 0, 0, 0, 255, 0};
    std::vector<uint8_t> bytes(16 + 2 * 100, 0);
    std::copy(header, header + 16, bytes.begin());
    testing_support::WriteBytes(lut, bytes);
    k.SetLutFile(lut.c_str());
    SetGreyScale(k, 150, 0);
    EXPECT_TRUE(IsOneBox(CaptureMessageBoxes([&] { k.CalcLut(); }),
                         "No old LUT found!\nCreate an empty LUT with Clear LUT first", true));
    EXPECT_EQ(ReadBytes(lut), bytes);
    // With error windows disabled the refusal is silent.
    k.DisableErrorWindow(1);
    EXPECT_EQ(CaptureMessageBoxes([&] { k.CalcLut(); }).size(), 0u);
    k.DisableErrorWindow(0);
    EXPECT_EQ(ReadBytes(lut), bytes);
    k.SetLutFile("");
}
