// CalcOffset from scan file to offset file, on synthetic scans of the test exposure.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include "engine/FrameEngine.h"
#include "support/Hooks.h"
#include "support/ScanPicture.h"
#include "support/SettingsFolder.h"
#include "support/TestFiles.h"

using testing_support::MessageRecorder;
using testing_support::ReadBytes;
using testing_support::ScanPicture;
using testing_support::WriteBytes;

namespace {

constexpr size_t kOffsetFileSize = 18 + 2 * 1280 * 1024;

// An engine calibrating from scan.bmp into offset.frm in a fresh folder.
class Calibration {
public:
    Calibration() {
        m_Engine.SetScanFile(ScanPath().c_str());
        m_Engine.SetOffsetFile(OffsetPath().c_str());
    }
    std::string ScanPath() const { return m_Dir.Path("scan.bmp"); }
    std::string OffsetPath() const { return m_Dir.Path("offset.frm"); }
    std::vector<std::string> Files() const { return m_Dir.Files(); }
    CFrameEngine& Engine() { return m_Engine; }

    void WriteScan(const ScanPicture& picture) {
        WriteBytes(ScanPath(), testing_support::ScanBitmapFile(picture));
    }
    void Run(int32_t color = 1) { m_Engine.CalcOffset(color); }
    std::vector<uint8_t> OffsetFile() const { return ReadBytes(OffsetPath()); }

private:
    testing_support::TempDir m_Dir;
    CFrameEngine m_Engine;
};

// The samples of an offset file of the nominal size, after checking its header.
std::vector<int16_t> MapSamples(const std::vector<uint8_t>& file) {
    EXPECT_EQ(file.size(), kOffsetFileSize);
    if (file.size() != kOffsetFileSize) return {};
    const std::vector<uint8_t> header(file.begin(), file.begin() + 18);
    std::vector<uint8_t> expected = {'F', 'R', 'A', 'M', 'E', 0};
    testing_support::PutLE32(expected, 1280 * 1024);
    testing_support::PutLE32(expected, 1280);
    testing_support::PutLE32(expected, 1024);
    EXPECT_EQ(header, expected);
    std::vector<int16_t> samples(1280 * 1024);
    for (size_t i = 0; i < samples.size(); ++i)
        samples[i] = static_cast<int16_t>(file[18 + 2 * i] | (file[19 + 2 * i] << 8));
    return samples;
}

int16_t At(const std::vector<int16_t>& map, int32_t x, int32_t y) { return map[y * 1280 + x]; }

// A scan at about twice the map's resolution, as a scanner delivers it, whose exposure grows
// lighter to the right and downwards. Its levels stay far enough above 0 that adding a map of the
// same size to its measurement is never clamped.
ScanPicture GradientScan() {
    ScanPicture p;
    p.width = 2720;
    p.height = 2200;
    p.left = 60;
    p.top = 50;
    p.right = 2660;
    p.bottom = 2150;
    p.exposure = [](int32_t x, int32_t y) {
        return static_cast<uint8_t>(110 + 60 * (x - 60) / 2600 + 40 * (y - 50) / 2100);
    };
    return p;
}

// The scan's level (scaled by the default table) where the calculation measures map (x, y).
int32_t ScanLevel(const ScanPicture& p, int32_t mapX, int32_t mapY) {
    return p.exposure(p.MarkX(mapX), p.MarkY(mapY)) * 2000 / 255;
}

// A sheared print with a fine pattern on a gradient, calibrated twice (the second adds the first
// map) with the given settings file: the offset file's bytes.
std::vector<uint8_t> CalibrateTwice(const std::string& settings) {
    ScanPicture picture = GradientScan();
    picture.shear = 3;
    picture.exposure = [](int32_t x, int32_t y) {
        return static_cast<uint8_t>(90 + (x * 7 + y * 13) % 23 + 40 * x / 2720 + 20 * y / 2200);
    };
    testing_support::SettingsFolder folder(settings);
    Calibration calibration;
    calibration.WriteScan(picture);
    calibration.Run();
    calibration.Run();
    return calibration.OffsetFile();
}

// FNV-1a.
uint64_t Fnv1a(const std::vector<uint8_t>& bytes) {
    uint64_t h = 0xcbf29ce484222325u;
    for (uint8_t b : bytes) h = (h ^ b) * 0x100000001b3u;
    return h;
}

}  // namespace

TEST(CalcOffset, UniformExposureGivesAMapOfZeros) {
    for (const int32_t color : {0, 1, 2}) {
        SCOPED_TRACE(color);
        Calibration calibration;
        ScanPicture picture;
        picture.color = color;
        calibration.WriteScan(picture);
        MessageRecorder messages;
        calibration.Run(color);
        const std::vector<int16_t> map = MapSamples(calibration.OffsetFile());
        EXPECT_EQ(map, std::vector<int16_t>(1280 * 1024, 0));
        EXPECT_TRUE(messages.Texts().empty());
        EXPECT_FALSE(calibration.Engine().m_Offset.HasData());
    }
}

TEST(CalcOffset, GradientGivesAMapThatEvensItOut) {
    Calibration calibration;
    const ScanPicture picture = GradientScan();
    calibration.WriteScan(picture);
    calibration.Run();
    const std::vector<int16_t> map = MapSamples(calibration.OffsetFile());
    ASSERT_FALSE(map.empty());

    // Where the print came out lighter the map adds light, in the scan's scaled units.
    EXPECT_LT(At(map, 100, 100), 0);
    EXPECT_GT(At(map, 1200, 900), 0);
    // Across the map it follows the scan's level, up to one constant and one step of the scan's
    // bytes (7.8 units).
    std::vector<std::pair<CPoint, int32_t>> deviations;
    int32_t total = 0;
    for (const int32_t y : {40, 100, 500, 900, 1000}) {
        for (const int32_t x : {40, 100, 400, 700, 1000, 1200, 1240}) {
            const int32_t deviation = At(map, x, y) - ScanLevel(picture, x, y);
            deviations.push_back({CPoint{x, y}, deviation});
            total += deviation;
        }
    }
    const int32_t constant = total / static_cast<int32_t>(deviations.size());
    for (const auto& [at, deviation] : deviations)
        EXPECT_NEAR(deviation, constant, 8) << at.x << ", " << at.y;
    int64_t sum = 0;
    for (const int16_t sample : map) sum += sample;
    EXPECT_LT(std::llabs(sum), 1280 * 1024);
}

TEST(CalcOffset, SecondCalibrationAddsTheFirstAndSaysAdd) {
    Calibration calibration;
    calibration.WriteScan(GradientScan());
    MessageRecorder messages;
    calibration.Run();
    EXPECT_TRUE(messages.Texts().empty());
    const std::vector<int16_t> first = MapSamples(calibration.OffsetFile());

    calibration.Run();
    EXPECT_EQ(messages.Texts(), std::vector<std::string>{"Add"});
    const std::vector<int16_t> second = MapSamples(calibration.OffsetFile());
    ASSERT_EQ(second.size(), first.size());
    // The same measurement again plus the first map: twice the first map, up to the truncated
    // means that were removed.
    for (size_t i = 0; i < first.size(); ++i) ASSERT_NEAR(second[i], 2 * first[i], 2) << i;
}

TEST(CalcOffset, TheBlockRulesWriteTheSameMapsAsEver) {
    if (!testing_support::SettingsFolder::Supported())
        GTEST_SKIP() << "a settings file of the test's own is set up natively only";
    // The block rules must go on writing, byte for byte, the maps they wrote before the pixel
    // rules came, so that old maps stay reproducible and comparable.
    const std::vector<uint8_t> blocks = CalibrateTwice("[Imaging]\nCalibrationRules=1\n");
    EXPECT_EQ(Fnv1a(blocks), 0x4d4df98a42763658u);
    EXPECT_NE(CalibrateTwice(""), blocks) << "the pixel rules are the default";
}

TEST(CalcOffset, ThePixelRulesWriteTheSameMapsAsBefore) {
    if (!testing_support::SettingsFolder::Supported())
        GTEST_SKIP() << "a settings file of the test's own is set up natively only";
    // Pinned alike: a change of the pixel rules' arithmetic that moves a single byte shows here.
    EXPECT_EQ(Fnv1a(CalibrateTwice("")), 0x329c043794ec3186u);
}

TEST(CalcOffset, SmoothingFollowsTheSettingsFile) {
    if (!testing_support::SettingsFolder::Supported())
        GTEST_SKIP() << "a settings file of the test's own is set up natively only";
    ScanPicture picture;
    picture.exposure = [](int32_t x, int32_t y) {
        return static_cast<uint8_t>(100 + (x * 7 + y * 13) % 23);
    };
    // By the block rules, which keep the fine pattern that the smoothing works on (the pixel
    // rules take a pattern this fine and irregular for noise and leave it out).
    std::vector<std::vector<uint8_t>> maps;
    for (const char* setting : {"0", "1", "2"}) {
        testing_support::SettingsFolder folder(
            std::string("[Imaging]\nCalibrationRules=1\nUnsharpenOffset=") + setting + "\n");
        Calibration calibration;
        calibration.WriteScan(picture);
        calibration.Run();
        maps.push_back(calibration.OffsetFile());
        EXPECT_EQ(maps.back().size(), kOffsetFileSize) << setting;
    }
    EXPECT_NE(maps[0], maps[1]);
    EXPECT_NE(maps[0], maps[2]);
    EXPECT_NE(maps[1], maps[2]);

    // Without the smoothing setting the map is smoothed diagonally.
    testing_support::SettingsFolder none("[Imaging]\nCalibrationRules=1\n");
    Calibration calibration;
    calibration.WriteScan(picture);
    calibration.Run();
    EXPECT_EQ(calibration.OffsetFile(), maps[1]);
}

TEST(CalcOffset, ScansWithoutAUsableExposedAreaAreInvalid) {
    ScanPicture blank;
    blank.exposure = [](int32_t, int32_t) { return uint8_t{255}; };
    blank.marks = false;
    // 99 samples between the first and the last exposed column or row, across the middle.
    ScanPicture narrow;
    narrow.left = 740;
    narrow.right = 839;
    narrow.marks = false;
    ScanPicture low;
    low.top = 600;
    low.bottom = 699;
    low.marks = false;
    struct Case {
        const char* what;
        ScanPicture picture;
        std::vector<std::string> messages;
    };
    const Case cases[] = {
        {"no exposed area", blank, {"Image Invalid", "Image Invalid"}},
        {"narrow", narrow, {"Image Invalid"}},
        {"low", low, {"Image Invalid"}},
    };
    for (const Case& c : cases) {
        for (const bool showErrors : {true, false}) {
            Calibration calibration;
            const std::vector<uint8_t> old = {'o', 'l', 'd'};
            WriteBytes(calibration.OffsetPath(), old);
            calibration.WriteScan(c.picture);
            calibration.Engine().DisableErrorWindow(showErrors ? 0 : 1);
            MessageRecorder messages;
            calibration.Run();
            EXPECT_EQ(messages.Texts(), showErrors ? c.messages : std::vector<std::string>{})
                << c.what;
            EXPECT_EQ(calibration.OffsetFile(), old) << c.what;
            EXPECT_EQ(calibration.Files().size(), 2u) << c.what;
        }
    }
}

TEST(CalcOffset, UnusableScansShowAndWriteNothing) {
    using testing_support::BitmapFile;
    const ScanPicture picture;
    const std::vector<uint8_t> pixels = testing_support::ScanPixelArray(picture);
    std::vector<uint8_t> truncated = testing_support::ScanBitmapFile(picture);
    truncated.resize(truncated.size() - 1);
    struct Case {
        const char* what;
        std::vector<uint8_t> scan;  // empty: no scan file
        int32_t color;
    };
    const Case cases[] = {
        {"missing scan", {}, 1},
        {"not a bitmap", {'t', 'e', 'x', 't'}, 1},
        {"fewer pixels than the header promises", truncated, 1},
        {"top-down rows", BitmapFile(picture.height, -picture.width, pixels), 1},
        {"32 bits per pixel", BitmapFile(picture.height, picture.width, pixels, 32), 1},
        {"compressed", BitmapFile(picture.height, picture.width, pixels, 24, 1), 1},
        {"colour byte 3", testing_support::ScanBitmapFile(picture), 3},
        {"colour byte -1", testing_support::ScanBitmapFile(picture), -1},
    };
    for (const Case& c : cases) {
        for (const bool oldFile : {true, false}) {
            Calibration calibration;
            const std::vector<uint8_t> old = {'o', 'l', 'd'};
            if (oldFile) WriteBytes(calibration.OffsetPath(), old);
            if (!c.scan.empty()) WriteBytes(calibration.ScanPath(), c.scan);
            const std::vector<std::string> files = calibration.Files();
            MessageRecorder messages;
            calibration.Run(c.color);
            EXPECT_TRUE(messages.Texts().empty()) << c.what;
            EXPECT_EQ(calibration.Files(), files) << c.what;
            if (oldFile) {
                EXPECT_EQ(calibration.OffsetFile(), old) << c.what;
            }
        }
    }
}

// The engine keeps its scan plane from one calibration to the next: a scan that cannot be read
// must not have the previous scan measured in its place, and a scan of another size must come out
// as it does on a fresh engine.
TEST(CalcOffset, KeptScanPlaneNeverCarriesAnEarlierScan) {
    Calibration calibration;
    calibration.WriteScan(GradientScan());
    calibration.Run();
    const std::vector<uint8_t> first = calibration.OffsetFile();
    ASSERT_EQ(first.size(), kOffsetFileSize);

    std::vector<uint8_t> truncated = testing_support::ScanBitmapFile(GradientScan());
    truncated.resize(truncated.size() - 1);
    WriteBytes(calibration.ScanPath(), truncated);
    MessageRecorder messages;
    calibration.Run();
    EXPECT_TRUE(messages.Texts().empty());
    EXPECT_EQ(calibration.OffsetFile(), first);

    ScanPicture smaller;
    smaller.exposure = [](int32_t x, int32_t y) { return static_cast<uint8_t>(100 + x / 40 + y / 50); };
    std::filesystem::remove(calibration.OffsetPath());
    calibration.WriteScan(smaller);
    calibration.Run();
    Calibration fresh;
    fresh.WriteScan(smaller);
    fresh.Run();
    EXPECT_EQ(calibration.OffsetFile(), fresh.OffsetFile());
    EXPECT_EQ(calibration.OffsetFile().size(), kOffsetFileSize);
}

TEST(CalcOffset, ExtremeThresholdsAndFactorsStayWithin32BitArithmetic) {
    // The table's top (factor x 20) and the edge threshold (threshold x factor x 20 / 100) wrap
    // as 32-bit products and are kept as 16-bit values. Where the threshold still finds an exposed
    // area (or takes the whole scan for one), a map of the nominal size is measured; where it finds
    // none, nothing is written.
    constexpr int32_t kMax = std::numeric_limits<int32_t>::max();
    constexpr int32_t kMin = std::numeric_limits<int32_t>::min();
    struct Case {
        int32_t threshold;
        int32_t factor;
        bool writes;
    };
    const Case cases[] = {{kMax, kMax, true}, {kMin, kMin, true},  {kMin, -1, true},
                          {-1, kMin, true},   {kMax, -1, true},    {90, 1639, true},
                          {90, -100, true},   {90, 0, true},       {200, 100, true},
                          {kMax, 100, false}, {0, 100, true}};
    Calibration calibration;
    calibration.WriteScan(ScanPicture{});
    calibration.Engine().DisableErrorWindow(1);
    for (const Case& c : cases) {
        std::filesystem::remove(calibration.OffsetPath());
        calibration.Engine().SetThreshold(c.threshold);
        calibration.Engine().SetCorrectionFactor(c.factor);
        calibration.Run();
        const bool written = std::filesystem::exists(calibration.OffsetPath());
        EXPECT_EQ(written, c.writes) << c.threshold << ", " << c.factor;
        if (written) {
            EXPECT_EQ(MapSamples(calibration.OffsetFile()).size(), 1280u * 1024);
        }
    }
}

TEST(CalcOffset, FailedWriteKeepsTheOldOffsetFile) {
    MessageRecorder messages;
    Calibration calibration;
    calibration.WriteScan(GradientScan());
    calibration.Run();
    const std::vector<uint8_t> old = calibration.OffsetFile();
    ASSERT_EQ(old.size(), kOffsetFileSize);
    {
        testing_support::WriteFailure failure(100000);
        calibration.Run();
    }
    EXPECT_EQ(calibration.OffsetFile(), old);
    EXPECT_EQ(calibration.Files(), (std::vector<std::string>{"offset.frm", "scan.bmp"}));

    // A path that cannot be created, and none at all, end the call without a file or a message.
    const size_t shown = messages.Texts().size();
    for (const std::string& path :
         {calibration.OffsetPath() + "-folder/offset.frm", std::string()}) {
        calibration.Engine().SetOffsetFile(path.c_str());
        calibration.Run();
        EXPECT_EQ(calibration.Files(), (std::vector<std::string>{"offset.frm", "scan.bmp"}));
    }
    EXPECT_EQ(messages.Texts().size(), shown);
}

// Every allocation of a calibration on a fresh engine, made to fail in turn. The buffers are
// allocated in this order: new map, scaling table, the scan's rows, turned scan plane, the
// measured map, its coarse part and the blur's pass across, smoothed map, old map. An engine
// that has calibrated before keeps its scan plane and needs one fewer.
TEST(CalcOffset, FailedAllocationsNeverLeaveAWrongMap) {
    MessageRecorder messages;
    Calibration calibration;
    calibration.WriteScan(GradientScan());
    calibration.Run();
    const std::vector<uint8_t> measurementAlone = calibration.OffsetFile();

    // An old map with a pattern of its own, so that adding it shows.
    CFrame oldMap;
    oldMap.Fill(0);
    for (int32_t x = 0; x < 1280; ++x) oldMap.SetPixel(x, 700, x % 50);
    oldMap.Save(calibration.OffsetPath());
    const std::vector<uint8_t> old = calibration.OffsetFile();

    // Runs a calibration on a fresh engine with allocation failAt failing (0: none); returns how
    // many allocations it asked for.
    auto runOnFreshEngine = [&](int failAt) {
        CFrameEngine engine;
        engine.SetScanFile(calibration.ScanPath().c_str());
        engine.SetOffsetFile(calibration.OffsetPath().c_str());
        testing_support::AllocationFailure failure(failAt);
        engine.CalcOffset(1);
        return failure.Allocations();
    };
    const int allocations = runOnFreshEngine(0);
    const std::vector<uint8_t> complete = calibration.OffsetFile();
    ASSERT_NE(complete, measurementAlone);
    ASSERT_EQ(allocations, 9);
    {
        WriteBytes(calibration.OffsetPath(), old);
        testing_support::AllocationFailure count(0);
        calibration.Run();
        EXPECT_EQ(count.Allocations(), 8);
        EXPECT_EQ(calibration.OffsetFile(), complete);
    }

    for (int failAt = 1; failAt <= allocations; ++failAt) {
        SCOPED_TRACE(failAt);
        WriteBytes(calibration.OffsetPath(), old);
        runOnFreshEngine(failAt);
        // Nothing to measure, nothing right to measure, the smoothing or the old map missing:
        // the file keeps the calibration it held.
        EXPECT_EQ(calibration.OffsetFile(), old);
    }
}
