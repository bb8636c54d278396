// CalcLut through the shared library, with the gamma taken from the settings file.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "native/LibraryHost.h"
#include "support/TestFiles.h"

namespace {

// Points the library's settings lookup at a folder for the life of the object.
class SettingsFolder {
public:
    explicit SettingsFolder(const std::string& folder) {
        if (const char* old = std::getenv("KAVREL_INI_DIR")) m_old = old;
        setenv("KAVREL_INI_DIR", folder.c_str(), 1);
    }
    ~SettingsFolder() {
        if (m_old) {
            setenv("KAVREL_INI_DIR", m_old->c_str(), 1);
        } else {
            unsetenv("KAVREL_INI_DIR");
        }
    }

private:
    std::optional<std::string> m_old;
};

int Entry(const std::vector<uint8_t>& file, int index) {
    return static_cast<int16_t>(file[16 + 2 * index] | file[16 + 2 * index + 1] << 8);
}

}  // namespace

TEST(LutCalculationHost, GammaComesFromTheSettingsOnEveryCall) {
    LibraryHost& kavrel = LibraryHost::Get();
    testing_support::TempDir dir;
    SettingsFolder settings(dir.Path(""));
    const std::string ini = dir.Path("kavrel.INI");

    struct Case {
        const char* settings;  // nullptr: no settings file
        int reference, step;
        std::vector<std::pair<int, int>> entries;  // empty: no table written
    };
    // clang-format off
    const std::vector<Case> cases = {
        {"[Imaging]\nGamma=220\n", 20, 4,
         {{0, 4095}, {1, 4098}, {2, 4101}, {7, 4109}, {64, 3195}, {224, 176}, {255, 0}}},
        {nullptr, 10, 5, {{1, 4055}, {64, 1846}, {224, 111}, {254, 2}}},  // default 1.8
        {"[Imaging]\nGamma=180\n", 10, 5, {{1, 4055}, {64, 1846}, {224, 111}, {254, 2}}},
        {"[Imaging]\nGamma=0\n", 10, 5, {}},
        {"[Imaging]\nGamma=none\n", 10, 5, {}},  // no number reads as 0
    };
    // clang-format on
    int run = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.settings != nullptr ? c.settings : "no settings file");
        if (c.settings != nullptr) {
            const std::string text = c.settings;
            testing_support::WriteBytes(ini, std::vector<uint8_t>(text.begin(), text.end()));
        } else {
            std::filesystem::remove(ini);
        }
        // A new file each time: the old table is the default one.
        const std::string lut = dir.Path("calibration" + std::to_string(run++) + ".lut");
        kavrel.SetLutFile(lut.c_str());
        kavrel.SetDensiValue(0, c.reference);
        for (int r = 1; r <= 46; ++r) kavrel.SetDensiValue(r, c.reference + c.step * r);
        kavrel.SetDensiValue(47, 0);
        kavrel.CalcLut();

        if (c.entries.empty()) {
            EXPECT_FALSE(testing_support::FileExists(lut));
            continue;
        }
        const std::vector<uint8_t> file = testing_support::ReadBytes(lut);
        ASSERT_EQ(file.size(), 528u);
        for (const auto& [x, entry] : c.entries) EXPECT_EQ(Entry(file, x), entry) << "entry " << x;
    }

    // An unusable gamma leaves an existing LUT file as it was.
    const std::string lut = dir.Path("calibration0.lut");
    const std::vector<uint8_t> before = testing_support::ReadBytes(lut);
    kavrel.SetLutFile(lut.c_str());
    kavrel.CalcLut();
    EXPECT_EQ(testing_support::ReadBytes(lut), before);
    kavrel.SetLutFile("");
}
