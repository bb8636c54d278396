// Every file of tests/data/malformed read by the engine, against the outcome that
// tests/data/malformed/expected.txt gives for it.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <set>

#include "engine/FrameEngine.h"
#include "support/Bitmaps.h"
#include "support/MalformedFiles.h"
#include "support/Planes.h"
#include "support/TestFiles.h"

using namespace testing_support;

namespace {

using Expectation = MalformedExpectation;

std::vector<Expectation> ExpectationsFor(const std::string& extension) {
    std::vector<Expectation> chosen;
    for (const Expectation& e : ReadMalformedExpectations())
        if (std::filesystem::path(e.file).extension() == extension) chosen.push_back(e);
    return chosen;
}

std::string PathOf(const Expectation& e) { return MalformedDir() + "/" + e.file; }

void MakeOldSamples(CFrame& frame, int32_t cols, int32_t rows, uint16_t first) {
    testing_support::PaintSamples(frame, cols, rows, [first](int32_t i) { return first + i; });
}

bool HasOldSamples(const CFrame& frame, int32_t cols, int32_t rows, uint16_t first) {
    if (!frame.HasData() || frame.m_nCols != cols || frame.m_nRows != rows ||
        frame.m_nCount != cols * rows)
        return false;
    for (int32_t i = 0; i < frame.m_nCount; ++i)
        if (frame.m_pData[i] != static_cast<uint16_t>(first + i)) return false;
    return true;
}

}  // namespace

TEST(MalformedFiles, EveryFileHasOneExpectation) {
    std::set<std::string> listed;
    for (const Expectation& e : ReadMalformedExpectations()) {
        EXPECT_TRUE(listed.insert(e.file).second) << e.file << " is listed twice";
        EXPECT_TRUE(FileExists(PathOf(e))) << e.file << " is listed but missing";
    }
    EXPECT_GT(listed.size(), 50u);
    for (const auto& entry : std::filesystem::directory_iterator(MalformedDir())) {
        const std::string name = entry.path().filename().string();
        if (name == "expected.txt") continue;
        EXPECT_EQ(listed.count(name), 1u) << name << " has no expectation";
    }
}

// "load N extract M": SetImageFile over a good image gives N; ExtractSubPixel then gives M, and
// CalcFrame changes the frame only when M is 0.
TEST(MalformedFiles, BitmapsGiveTheirLoadAndExtractionResults) {
    TempDir dir;
    const std::string good = dir.Path("good.bmp");
    WriteBytes(good, BitmapFile(BitmapLayout{6, 4}, PatternByte));
    const std::vector<Expectation> bitmaps = ExpectationsFor(".bmp");
    ASSERT_GT(bitmaps.size(), 30u);
    for (const Expectation& e : bitmaps) {
        SCOPED_TRACE(e.file);
        ASSERT_EQ(e.outcome.size(), 4u);
        ASSERT_EQ(e.outcome[0], "load");
        ASSERT_EQ(e.outcome[2], "extract");
        CFrameEngine engine;
        ASSERT_EQ(engine.SetImageFile(good.c_str()), 0);
        EXPECT_EQ(engine.SetImageFile(PathOf(e).c_str()), std::stoi(e.outcome[1]));

        const int32_t extract = std::stoi(e.outcome[3]);
        CFrame probe;
        EXPECT_EQ(probe.ExtractSubPixel(engine.m_Image, 0, 0), extract);
        MakeOldSamples(engine.m_Frames[5], 3, 2, 4000);
        engine.CalcFrame(5);
        const CFrame& frame = engine.m_Frames[5];
        if (extract != 0) {
            EXPECT_TRUE(HasOldSamples(frame, 3, 2, 4000));
        } else {
            ASSERT_TRUE(frame.HasData());
            EXPECT_EQ(frame.m_nCols, engine.m_Image.Header().biWidth / 2);
            EXPECT_EQ(frame.m_nRows, engine.m_Image.Header().biHeight / 2);
            EXPECT_EQ(frame.m_nCount, frame.m_nCols * frame.m_nRows);
        }
    }
}

// "plane WxH": SetOffsetFile takes the file's plane, samples as stored; "plane unchanged": the
// offset map loaded before stays.
TEST(MalformedFiles, OffsetFilesGiveTheirPlanes) {
    TempDir dir;
    CFrame old;
    MakeOldSamples(old, 4, 4, 77);
    const std::string good = dir.Path("good.frm");
    old.Save(good);
    const std::vector<Expectation> planes = ExpectationsFor(".frm");
    ASSERT_GT(planes.size(), 10u);
    for (const Expectation& e : planes) {
        SCOPED_TRACE(e.file);
        ASSERT_EQ(e.outcome.size(), 2u);
        ASSERT_EQ(e.outcome[0], "plane");
        CFrameEngine engine;
        engine.SetOffsetFile(good.c_str());
        engine.SetOffsetFile(PathOf(e).c_str());
        const CFrame& map = engine.m_Offset;
        if (e.outcome[1] == "unchanged") {
            EXPECT_TRUE(HasOldSamples(map, 4, 4, 77));
            continue;
        }
        const size_t x = e.outcome[1].find('x');
        ASSERT_NE(x, std::string::npos);
        ASSERT_TRUE(map.HasData());
        EXPECT_EQ(map.m_nCols, std::stoi(e.outcome[1].substr(0, x)));
        EXPECT_EQ(map.m_nRows, std::stoi(e.outcome[1].substr(x + 1)));
        ASSERT_EQ(map.m_nCount, map.m_nCols * map.m_nRows);
        const std::vector<uint8_t> bytes = ReadBytes(PathOf(e));
        ASSERT_GE(bytes.size(), 18 + 2 * static_cast<size_t>(map.m_nCount));
        EXPECT_EQ(std::memcmp(map.m_pData.get(), bytes.data() + 18,
                              2 * static_cast<size_t>(map.m_nCount)),
                  0);
    }
}

// "table N": SetLutFile takes the file's N entries and bounds; "default table": 4095 down to 0.
TEST(MalformedFiles, LutFilesGiveTheirTables) {
    CLut fallback;
    fallback.MakeInverse(4095);
    const std::vector<Expectation> tables = ExpectationsFor(".lut");
    ASSERT_GT(tables.size(), 10u);
    for (const Expectation& e : tables) {
        SCOPED_TRACE(e.file);
        CFrameEngine engine;
        engine.SetLutFile(PathOf(e).c_str());
        const CLut& lut = engine.m_Lut;
        ASSERT_TRUE(lut.HasTable());
        if (e.outcome == std::vector<std::string>{"default", "table"}) {
            EXPECT_EQ(lut.m_nCount, 256);
            EXPECT_EQ(lut.m_nFirstInput, 0);
            EXPECT_EQ(lut.m_nLastInput, 255);
            EXPECT_EQ(std::memcmp(lut.m_pTable.get(), fallback.m_pTable.get(), 512), 0);
            continue;
        }
        ASSERT_EQ(e.outcome.size(), 2u);
        ASSERT_EQ(e.outcome[0], "table");
        ASSERT_EQ(lut.m_nCount, std::stoi(e.outcome[1]));
        const std::vector<uint8_t> bytes = ReadBytes(PathOf(e));
        ASSERT_GE(bytes.size(), 16 + 2 * static_cast<size_t>(lut.m_nCount));
        EXPECT_EQ(lut.m_nFirstInput, static_cast<int16_t>(bytes[12] | bytes[13] << 8));
        EXPECT_EQ(lut.m_nLastInput, static_cast<int16_t>(bytes[14] | bytes[15] << 8));
        EXPECT_EQ(std::memcmp(lut.m_pTable.get(), bytes.data() + 16,
                              2 * static_cast<size_t>(lut.m_nCount)),
                  0);
    }
}
