#include <gtest/gtest.h>

#include <algorithm>
#include <utility>
#include <vector>

#include "calibration/LutCalculation.h"
#include "engine/FrameEngine.h"
#include "platform/IniFile.h"
#include "support/Hooks.h"
#include "support/SettingsFolder.h"
#include "support/TestFiles.h"

using namespace kavrel::lutcalc;
using testing_support::MessageRecorder;

namespace {

const char kNoOldLut[] = "No old LUT found!\nCreate an empty LUT with Clear LUT first";

// Reference reading, then reading r = reference + step * r for the 46 patches; reading 47 is 0.
CWordArray Readings(int reference, int step) {
    CWordArray readings(kReadingCount, 0);
    readings[0] = static_cast<uint16_t>(reference);
    for (int r = 1; r <= kStepCount; ++r) readings[r] = static_cast<uint16_t>(reference + step * r);
    return readings;
}

// The default table's entries at the step inputs: what the patches were exposed with when no LUT
// file existed.
StepValues DefaultOldExposures() {
    CLut table;
    table.MakeInverse(4095);
    StepValues old{};
    for (int k = 0; k < kStepCount; ++k) old[k] = table.m_pTable[StepInput(k)];
    return old;
}

}  // namespace

TEST(LutCalculation, StepInputsCoverTheGreyScale) {
    const std::vector<std::pair<int, int>> steps = {{0, 4},    {15, 64},  {16, 72}, {32, 200},
                                                    {33, 204}, {38, 224}, {45, 252}};
    for (const auto& [k, input] : steps) EXPECT_EQ(StepInput(k), input) << "step " << k;
}

TEST(LutCalculation, ReadingsBecomeLevelsByTheGammaLaw) {
    EXPECT_EQ(GammaFromSetting(180), 1.8f);
    EXPECT_EQ(GammaFromSetting(220), 2.2f);
    const float g = GammaFromSetting(180);
    EXPECT_EQ(LevelOfDensity(0, g), 255);    // as dense as the reference
    EXPECT_EQ(LevelOfDensity(30, g), 173);   // 0.30 denser
    EXPECT_EQ(LevelOfDensity(-20, g), 255);  // 0.20 lighter: 329, limited

    // Readings above 900 count as negative densities.
    const std::vector<std::pair<uint16_t, int32_t>> densities = {
        {0, 0}, {150, 150}, {900, 900}, {901, -1}, {950, -50}, {65535, -64635}};
    for (const auto& [reading, density] : densities)
        EXPECT_EQ(Density(reading), density) << reading;

    // The extremes of the 16-bit readings and of the setting stay inside 0..255.
    const float smallest = GammaFromSetting(1);
    const float largest = GammaFromSetting(0xFFFFFFFFu);
    // d runs from -65535 (reading 65535 against a reference of 900) to 65535.
    EXPECT_EQ(LevelOfDensity(65535, smallest), 0);
    EXPECT_EQ(LevelOfDensity(-65535, smallest), 255);  // 10^e beyond the double range
    EXPECT_EQ(LevelOfDensity(65535, largest), 254);
    EXPECT_EQ(LevelOfDensity(-65535, largest), 255);
}

// The levels, the new exposures and the table for three grey scales measured through the default
// table. Each case pins the mix of single and double precision: entry 224 one below new[38] in the
// first, the low segment rising above 4095 in the second.
TEST(LutCalculation, CalibratesGreyScalesToTheLastDigit) {
    struct Case {
        int reference, step;
        uint32_t gamma;
        int level0, level45, new15, new16, new38;
        std::vector<std::pair<int, int>> entries;
    };
    // clang-format off
    const std::vector<Case> cases = {
        {10, 5, 180, 13, 239, 1846, 1602, 112,
         {{0, 4095}, {1, 4055}, {63, 1876}, {64, 1846}, {72, 1602}, {128, 674}, {200, 225},
          {223, 116}, {224, 111}, {254, 2}, {255, 0}}},
        {20, 4, 220, 37, 244, 3195, 2938, 176,
         {{0, 4095}, {1, 4098}, {2, 4101}, {7, 4109}, {64, 3195}, {72, 2938}, {224, 176},
          {255, 0}}},
        {150, 0, 180, 255, 255, 4078, 4076, 4037,
         {{0, 4095}, {1, 4094}, {2, 4094}, {3, 4094}, {4, 4093}, {64, 4078}, {250, 1196},
          {251, 973}, {252, 742}, {253, 503}, {254, 256}, {255, 0}}},
    };
    // clang-format on
    const StepValues old = DefaultOldExposures();
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "reference " << c.reference << ", step " << c.step);
        const CWordArray readings = Readings(c.reference, c.step);
        const float g = GammaFromSetting(c.gamma);
        const StepValues levels = StepLevels(readings, g);
        EXPECT_EQ(levels[0], c.level0);
        EXPECT_EQ(levels[45], c.level45);
        const StepValues fresh = NewExposures(levels, old);
        EXPECT_EQ(fresh[15], c.new15);
        EXPECT_EQ(fresh[16], c.new16);
        EXPECT_EQ(fresh[38], c.new38);
        const Entries entries = CalcEntries(old, readings, g);
        for (const auto& [x, entry] : c.entries) EXPECT_EQ(entries[x], entry) << "entry " << x;
        // At the step inputs of the middle segment the table gives the new exposures.
        for (int k = 15; k < 38; ++k) EXPECT_EQ(entries[StepInput(k)], fresh[k]) << "step " << k;
    }
}

TEST(LutCalculation, ReadingFortySevenIsNotUsed) {
    CWordArray readings = Readings(10, 5);
    const StepValues old = DefaultOldExposures();
    const float g = GammaFromSetting(180);
    const Entries before = CalcEntries(old, readings, g);
    readings[47] = 65535;
    EXPECT_EQ(CalcEntries(old, readings, g), before);
}

TEST(LutCalculation, AMisreadPatchCannotMakeTheLevelsFall) {
    const StepValues old = DefaultOldExposures();
    StepValues levels = StepLevels(Readings(10, 5), GammaFromSetting(180));
    // A patch read far too dense counts as one of the level of the patch before it.
    levels[30] = levels[29];
    const StepValues expected = NewExposures(levels, old);
    levels[30] = 3;
    EXPECT_EQ(NewExposures(levels, old), expected);
}

// When even the lightest patch is denser than the level a step asks for, the exposure is taken on
// the line from the lightest patch toward exposure 0 at level 255, as the other end goes toward
// 4095 at level 0.
TEST(LutCalculation, StepsNoPatchReachesAreExtrapolatedTowardExposureZero) {
    const StepValues old = DefaultOldExposures();  // old[45] = 48 at input 252

    // The first grey scale against a reference of 0.00 instead of 0.10: the lightest patch reaches
    // level 210, so inputs 212..224 lie beyond it.
    CWordArray readings = Readings(10, 5);
    readings[0] = 0;
    const float g = GammaFromSetting(180);
    const StepValues levels = StepLevels(readings, g);
    ASSERT_EQ(levels[45], 210);
    const StepValues fresh = NewExposures(levels, old);
    EXPECT_EQ(fresh[34], 57);  // input 208, still between two patches
    const std::vector<std::pair<int, int>> extrapolated = {{35, 48 * (255 - 212) / 45},
                                                           {36, 48 * (255 - 216) / 45},
                                                           {37, 48 * (255 - 220) / 45},
                                                           {38, 48 * (255 - 224) / 45}};
    for (const auto& [k, exposure] : extrapolated) EXPECT_EQ(fresh[k], exposure) << "step " << k;
    // The whole table still falls from 4095 to 0.
    const Entries entries = CalcEntries(old, readings, g);
    EXPECT_EQ(entries[0], 4095);
    EXPECT_EQ(entries[255], 0);
    for (int x = 1; x < 256; ++x) EXPECT_LE(entries[x], entries[x - 1]) << "entry " << x;

    // Every patch black (level 0): every step on the line from old[45] at level 0.
    StepValues black{};
    const StepValues fromBlack = NewExposures(black, old);
    EXPECT_EQ(fromBlack[15], 48 * (255 - 64) / 255);
    EXPECT_EQ(fromBlack[38], 48 * (255 - 224) / 255);
}

TEST(LutCalculation, OldTableMissingOrTooShortIsReportedAndGivesNoTable) {
    CLut missing;
    CLut tooShort;  // a foreign file's table that stops before input 252
    tooShort.m_nCount = 252;
    tooShort.m_pTable = std::make_unique<int16_t[]>(252);
    for (const CLut* old : {&missing, &tooShort}) {
        for (int showErrors : {1, 0}) {
            MessageRecorder messages;
            CLut table;
            table.MakeLinear(100);
            table.m_bShowErrors = showErrors;
            table.CalcFromDensiValues(*old, Readings(10, 5));
            EXPECT_FALSE(table.HasTable());
            const std::vector<std::string> expected =
                showErrors == 1 ? std::vector<std::string>{kNoOldLut} : std::vector<std::string>{};
            EXPECT_EQ(messages.Texts(), expected);
            if (!messages.Messages().empty()) {
                EXPECT_EQ(messages.Messages()[0].style, platform::MessageStyle::Failure);
            }
        }
    }
}

TEST(LutCalculation, AnOldTableReachingInput252IsEnough) {
    CLut old;
    old.MakeInverse(4095);
    old.m_nCount = 253;
    CLut table;
    table.CalcFromDensiValues(old, Readings(150, 0));
    ASSERT_TRUE(table.HasTable());
    EXPECT_EQ(table.m_nCount, 256);
    EXPECT_EQ(table.m_nFirstInput, 0);
    EXPECT_EQ(table.m_nLastInput, 255);
    EXPECT_EQ(table.m_pTable[254], 256);  // all readings equal: the same for any gamma
}

// A Gamma setting outside 0.10 .. 10.00 gives no table, like Gamma 0: a decimal point ends the
// number ("1.80" reads as 1) and a minus sign wraps it to a huge one. The settings file's text
// goes through the settings rules everywhere, and natively through the calculation itself.
TEST(LutCalculation, GammaSettingsOutsideTenToThousandGiveNoTable) {
    struct Case {
        const char* value;
        unsigned setting;
        bool table;
    };
    const std::vector<Case> cases = {
        {"180", 180, true},  {"10", 10, true},        {"1000", 1000, true},
        {"0x64", 100, true}, {"9", 9, false},         {"1001", 1001, false},
        {"0", 0, false},     {"1.80", 1, false},      {"-180", 0u - 180u, false},
        {"none", 0, false},  {"65535", 65535, false},
    };
    CLut old;
    old.MakeInverse(4095);
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string("Gamma=") + c.value);
        const std::string ini = std::string("[Imaging]\nGamma=") + c.value + "\n";
        const unsigned setting = platform::ProfileIntFromText(ini, "Imaging", "Gamma", 180);
        EXPECT_EQ(setting, c.setting);
        EXPECT_EQ(IsUsableGammaSetting(setting), c.table);
        if (!testing_support::SettingsFolder::Supported()) continue;
        testing_support::SettingsFolder folder(ini);
        CLut table;
        table.CalcFromDensiValues(old, Readings(10, 5));
        EXPECT_EQ(table.HasTable(), c.table);
    }
}

TEST(LutCalculation, WrongReadingCountOrFailedAllocationGivesNoTableSilently) {
    CLut old;
    old.MakeInverse(4095);
    for (size_t count : {size_t{0}, size_t{47}, size_t{49}}) {
        MessageRecorder messages;
        CLut table;
        table.MakeLinear(100);
        table.m_bShowErrors = 1;
        table.CalcFromDensiValues(old, CWordArray(count, 150));
        EXPECT_FALSE(table.HasTable()) << count;
        EXPECT_TRUE(messages.Texts().empty()) << count;
    }
    {
        // The new table is allocated first: its failure ends the calculation before the old
        // table is looked at.
        MessageRecorder messages;
        CLut missing;
        CLut table;
        table.m_bShowErrors = 1;
        testing_support::AllocationFailure failure(1);
        table.CalcFromDensiValues(missing, Readings(10, 5));
        EXPECT_FALSE(table.HasTable());
        EXPECT_TRUE(messages.Texts().empty());
    }
}

// Through the engine as a host drives it. All readings equal give every level 255 whatever the
// gamma, so the result does not depend on the settings file.
TEST(LutCalculation, CalcLutRewritesTheFileButNotTheEnginesTable) {
    testing_support::TempDir dir;
    const std::string path = dir.Path("calibration.lut");
    CFrameEngine engine;
    engine.SetLutFile(path.c_str());  // no file yet: the default table
    std::vector<uint8_t> pixels(2560 * 2048 * 3);
    for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<uint8_t>(i % 7);
    engine.SetBitmapPointer(pixels.data());
    engine.CalcFrame(0);
    const std::vector<uint16_t> before(engine.m_Frames[0].m_pData.get(),
                                       engine.m_Frames[0].m_pData.get() + 1280 * 1024);

    for (int i = 0; i < 48; ++i) engine.SetDensiValue(i, 150);
    engine.CalcLut();

    const std::vector<uint8_t> bytes = testing_support::ReadBytes(path);
    ASSERT_EQ(bytes.size(), 528u);
    const std::vector<uint8_t> header = {0x4C, 0x55, 0x54, 0x46, 0x49, 0x4C, 0x45,
                                         0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00,
                                         0xFF, 0x00, 0xFF, 0x0F, 0xFE, 0x0F};  // entries 4095, 4094
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin(), bytes.begin() + 20), header);
    EXPECT_EQ(bytes[16 + 2 * 254], 0x00);  // entry 254 = 256
    EXPECT_EQ(bytes[16 + 2 * 254 + 1], 0x01);

    // The engine keeps the table it loaded until the host loads the file again.
    EXPECT_EQ(engine.m_Lut.m_pTable[1], 4078);
    engine.CalcFrame(0);
    EXPECT_TRUE(std::equal(before.begin(), before.end(), engine.m_Frames[0].m_pData.get()));
    engine.SetLutFile(path.c_str());
    EXPECT_EQ(engine.m_Lut.m_pTable[1], 4094);
    engine.CalcFrame(0);
    const size_t one = std::find(before.begin(), before.end(), 4078) - before.begin();
    ASSERT_LT(one, before.size());
    EXPECT_EQ(engine.m_Frames[0].m_pData[one], 4094);  // the image value 1, through the new table

    // A LUT file too short for the step inputs is reported and left as it was.
    std::vector<uint8_t> shortFile(16 + 2 * 100, 0);  // 100 entries
    std::copy(header.begin(), header.begin() + 16, shortFile.begin());
    shortFile[8] = 100;
    shortFile[9] = 0;
    testing_support::WriteBytes(path, shortFile);
    MessageRecorder messages;
    engine.CalcLut();
    EXPECT_EQ(messages.Texts(), std::vector<std::string>{kNoOldLut});
    EXPECT_EQ(testing_support::ReadBytes(path), shortFile);
}
