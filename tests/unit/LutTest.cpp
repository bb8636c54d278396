#include <gtest/gtest.h>

#include "image/Frame.h"
#include "image/Lut.h"
#include "support/Hooks.h"
#include "support/CalibrationFiles.h"
#include "support/Planes.h"
#include "support/TestFiles.h"

using namespace testing_support;

namespace {

std::vector<int16_t> Ramp(int32_t count, int32_t step) {
    std::vector<int16_t> entries;
    for (int32_t i = 0; i < count; ++i) entries.push_back(static_cast<int16_t>(i * step));
    return entries;
}

void ExpectDefaultTable(const CLut& lut, const char* why) {
    ASSERT_TRUE(lut.HasTable()) << why;
    EXPECT_EQ(lut.m_nCount, 256) << why;
    EXPECT_EQ(lut.m_nFirstInput, 0) << why;
    EXPECT_EQ(lut.m_nLastInput, 255) << why;
    const std::pair<int, int16_t> entries[] = {{0, 4095}, {1, 4078}, {2, 4062}, {3, 4046}, {4, 4030},
                                               {128, 2039}, {254, 16}, {255, 0}};
    for (auto [index, value] : entries) EXPECT_EQ(lut.m_pTable[index], value) << why << " entry " << index;
}

void MakeFrame(CFrame& frame, const std::vector<int32_t>& samples) {
    MakePlane(frame, static_cast<int32_t>(samples.size()), 1, samples);
}

}  // namespace

TEST(Lut, MissingOrDefectiveFilesGiveTheDefaultTable) {
    TempDir dir;
    std::vector<uint8_t> shortHeader = LutFileBytes(256, 0, 255, {});
    shortHeader.resize(12);
    const std::vector<std::pair<const char*, std::vector<uint8_t>>> cases = {
        {"missing", {}},
        {"header cut short", shortHeader},
        {"count 0", LutFileBytes(0, 0, 255, {})},
        {"count 300", LutFileBytes(300, 0, 255, Ramp(300, 1))},
        {"negative count", LutFileBytes(-1, 0, 255, Ramp(10, 1))},
        {"shorter than its count", LutFileBytes(256, 0, 255, Ramp(255, 1))},
    };
    for (const auto& [name, bytes] : cases) {
        const std::string path = dir.Path("table.lut");
        std::filesystem::remove(path);
        if (!bytes.empty()) WriteBytes(path, bytes);
        CLut lut;
        lut.MakeLinear(100);
        lut.Load(path);
        ExpectDefaultTable(lut, name);
    }
}

TEST(Lut, SaveWritesTheFileLayoutAndLoadReadsItBack) {
    TempDir dir;
    CLut lut;
    lut.Load(dir.Path("missing.lut"));
    lut.Save(dir.Path("default.lut"));
    const std::vector<uint8_t> bytes = ReadBytes(dir.Path("default.lut"));
    ASSERT_EQ(bytes.size(), 528u);
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin(), bytes.begin() + 20),
              (std::vector<uint8_t>{0x4C, 0x55, 0x54, 0x46, 0x49, 0x4C, 0x45, 0x00, 0x00, 0x01, 0x00,
                                    0x00, 0x00, 0x00, 0xFF, 0x00, 0xFF, 0x0F, 0xEE, 0x0F}));

    // The magic is not checked; the bounds keep their file order (lowest first).
    std::vector<uint8_t> foreign = LutFileBytes(256, 3, 200, Ramp(256, -2));
    foreign[0] = 'X';
    WriteBytes(dir.Path("foreign.lut"), foreign);
    CLut loaded;
    loaded.Load(dir.Path("foreign.lut"));
    EXPECT_EQ(loaded.m_nFirstInput, 3);
    EXPECT_EQ(loaded.m_nLastInput, 200);
    EXPECT_EQ(loaded.m_pTable[255], -510);
    loaded.Save(dir.Path("copy.lut"));
    std::vector<uint8_t> copy = ReadBytes(dir.Path("copy.lut"));
    copy[0] = 'X';
    EXPECT_EQ(copy, foreign);
}

TEST(Lut, SaveWithoutTableOrFailingWritesLeavesTheOldFile) {
    TempDir dir;
    const std::string path = dir.Path("table.lut");
    WriteBytes(path, LutFileBytes(256, 0, 255, Ramp(256, 3)));
    const std::vector<uint8_t> before = ReadBytes(path);
    CLut empty;
    empty.Save(path);
    empty.Save(dir.Path("new.lut"));
    CLut lut;
    lut.MakeLinear(2000);
    for (int64_t failAt : {0, 8, 16, 300}) {
        WriteFailure failure(failAt);
        lut.Save(path);
    }
    EXPECT_EQ(ReadBytes(path), before);
    EXPECT_EQ(dir.Files(), std::vector<std::string>{"table.lut"});
}

TEST(Lut, LinearAndInverseTables) {
    CLut lut;
    lut.MakeLinear(2000);
    EXPECT_EQ(lut.m_pTable[0], 0);
    EXPECT_EQ(lut.m_pTable[1], 7);
    EXPECT_EQ(lut.m_pTable[2], 15);
    EXPECT_EQ(lut.m_pTable[3], 23);
    EXPECT_EQ(lut.m_pTable[128], 1003);
    EXPECT_EQ(lut.m_pTable[255], 2000);
    lut.MakeLinear(65536 + 2000);  // only the low 16 bits of the step count
    EXPECT_EQ(lut.m_pTable[255], 2000);
    lut.MakeLinear(-255);
    EXPECT_EQ(lut.m_pTable[10], -10);
    lut.MakeInverse(4095);
    ExpectDefaultTable(lut, "MakeInverse(4095)");
}

TEST(Lut, ApplyLooksUpEverySampleInsideTheTable) {
    CLut lut;
    lut.MakeInverse(4095);
    CFrame frame;
    MakeFrame(frame, {0, 1, 128, 255, 256, -1, 4095});
    lut.Apply(frame);
    EXPECT_EQ(frame.GetPixel(0, 0), 4095);
    EXPECT_EQ(frame.GetPixel(1, 0), 4078);
    EXPECT_EQ(frame.GetPixel(2, 0), 2039);
    EXPECT_EQ(frame.GetPixel(3, 0), 0);
    EXPECT_EQ(frame.GetPixel(4, 0), 256);  // beyond the table: left as it is
    EXPECT_EQ(frame.GetPixel(5, 0), -1);
    EXPECT_EQ(frame.GetPixel(6, 0), 4095);

    // The lowest input bound guards the table but does not shift the index.
    TempDir dir;
    WriteBytes(dir.Path("neg.lut"), LutFileBytes(256, -1, 255, Ramp(256, 2)));
    WriteBytes(dir.Path("pos.lut"), LutFileBytes(256, 5, 255, Ramp(256, 2)));
    CLut negative, positive;
    negative.Load(dir.Path("neg.lut"));
    positive.Load(dir.Path("pos.lut"));
    MakeFrame(frame, {0, 3});
    negative.Apply(frame);
    EXPECT_EQ(frame.GetPixel(1, 0), 3);
    positive.Apply(frame);
    EXPECT_EQ(frame.GetPixel(0, 0), 0);
    EXPECT_EQ(frame.GetPixel(1, 0), 6);

    // A short table from a foreign file is only read inside its count.
    WriteBytes(dir.Path("short.lut"), LutFileBytes(4, 0, 3, {10, 11, 12, 13}));
    CLut shortTable;
    shortTable.Load(dir.Path("short.lut"));
    MakeFrame(frame, {3, 4, 200});
    shortTable.Apply(frame);
    EXPECT_EQ(frame.GetPixel(0, 0), 13);
    EXPECT_EQ(frame.GetPixel(1, 0), 4);
    EXPECT_EQ(frame.GetPixel(2, 0), 200);

    CFrame empty;
    lut.Apply(empty);
    EXPECT_FALSE(empty.HasData());
    CLut none;
    MakeFrame(frame, {1});
    none.Apply(frame);
    EXPECT_EQ(frame.GetPixel(0, 0), 1);
}

TEST(Lut, AllocationFailureLeavesNoTable) {
    TempDir dir;
    CLut lut;
    lut.MakeLinear(2000);
    {
        AllocationFailure failure(1, true);
        lut.Load(dir.Path("missing.lut"));
    }
    EXPECT_FALSE(lut.HasTable());
    lut.Save(dir.Path("never.lut"));
    EXPECT_TRUE(dir.Files().empty());
}
