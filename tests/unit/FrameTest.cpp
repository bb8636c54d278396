#include <gtest/gtest.h>

#include <vector>

#include "image/Frame.h"
#include "support/Hooks.h"
#include "support/CalibrationFiles.h"
#include "support/Planes.h"
#include "support/TestFiles.h"

using testing_support::AllocationFailure;
using testing_support::MessageRecorder;
using testing_support::ReadBytes;
using testing_support::TempDir;
using testing_support::WriteBytes;

namespace {

using testing_support::MakePlane;
using testing_support::OffsetFileBytes;
using testing_support::SignedSamples;

}  // namespace

TEST(Frame, NewPlaneIsEmptyWithTheDefaults) {
    CFrame frame;
    EXPECT_FALSE(frame.HasData());
    EXPECT_EQ(frame.m_nCount, 0);
    EXPECT_EQ(frame.GetPixel(0, 0), 0);
    EXPECT_EQ(frame.Mean(), 0);
    EXPECT_EQ(frame.m_nNominalWidth, 1280);
    EXPECT_EQ(frame.m_nNominalHeight, 1024);
    EXPECT_EQ(frame.m_nGridX, 31);
    EXPECT_EQ(frame.m_nGridStepY, 64);
    EXPECT_EQ(frame.m_bShowErrors, 0);

    TempDir dir;
    frame.Save(dir.Path("never.frm"));
    EXPECT_TRUE(dir.Files().empty());
}

TEST(Frame, FillResizesToNominalSize) {
    CFrame frame;
    MakePlane(frame, 3, 2, {1, 2, 3, 4, 5, 6});
    frame.Fill(999);
    ASSERT_EQ(frame.m_nCols, 1280);
    ASSERT_EQ(frame.m_nRows, 1024);
    ASSERT_EQ(frame.m_nCount, 1310720);
    EXPECT_EQ(frame.GetPixel(0, 0), 999);
    EXPECT_EQ(frame.GetPixel(1279, 1023), 999);
    frame.Fill(70000);  // only the low 16 bits count
    EXPECT_EQ(frame.GetPixel(5, 5), 70000 - 65536);
}

TEST(Frame, SampleAccessChecksTheLinearIndexOnly) {
    CFrame frame;
    frame.Fill(0);
    frame.SetPixel(1279, 0, 11);
    frame.SetPixel(0, 1, 22);
    EXPECT_EQ(frame.GetPixel(-1, 1), 11);
    EXPECT_EQ(frame.GetPixel(1280, 0), 22);
    EXPECT_EQ(frame.GetPixel(0, 1024), 0);
    EXPECT_EQ(frame.GetPixel(-1, 0), 0);
    EXPECT_EQ(frame.GetPixel(INT32_MAX, INT32_MAX), 0);
    frame.SetPixel(0, 1024, 5);  // outside: no write, no crash
    frame.SetPixel(3, 3, -2);
    EXPECT_EQ(frame.GetPixel(3, 3), -2);
}

TEST(Frame, AddFrameClampsTheSignedSum) {
    MessageRecorder messages;
    CFrame frame, offsets;
    MakePlane(frame, 4, 1, {4000, 100, 30000, 7});
    MakePlane(offsets, 4, 1, {200, -150, 10000, 3});
    frame.m_bShowErrors = 1;
    frame.AddFrame(offsets);
    EXPECT_EQ(SignedSamples(frame), (std::vector<int32_t>{4095, 0, 0, 10}));
    EXPECT_EQ(SignedSamples(offsets), (std::vector<int32_t>{200, -150, 10000, 3}));
    EXPECT_EQ(messages.Texts(), std::vector<std::string>{"Add"});
    EXPECT_EQ(messages.Messages()[0].style, platform::MessageStyle::Failure);
}

TEST(Frame, AddFrameIgnoresPlanesOfAnotherShapeOrWithoutData) {
    MessageRecorder messages;
    CFrame frame, turned, empty;
    frame.m_bShowErrors = 1;
    MakePlane(frame, 3, 2, {1, 2, 3, 4, 5, 6});
    MakePlane(turned, 2, 3, {1, 1, 1, 1, 1, 1});
    frame.AddFrame(turned);
    frame.AddFrame(empty);
    empty.AddFrame(frame);
    EXPECT_EQ(SignedSamples(frame), (std::vector<int32_t>{1, 2, 3, 4, 5, 6}));
    EXPECT_TRUE(messages.Texts().empty());

    frame.m_bShowErrors = 0;  // silent but still added
    CFrame same;
    MakePlane(same, 3, 2, {1, 1, 1, 1, 1, 1});
    frame.AddFrame(same);
    EXPECT_EQ(frame.GetPixel(0, 0), 2);
    EXPECT_TRUE(messages.Texts().empty());
}

TEST(Frame, AddConstantWrapsAndMeanTruncatesTowardZero) {
    CFrame frame;
    MakePlane(frame, 1, 1, {3});
    frame.AddConstant(-5);
    EXPECT_EQ(frame.GetPixel(0, 0), -2);

    struct Case {
        std::vector<int32_t> samples;
        int16_t mean;
    };
    for (const Case& c : {Case{{1, 2}, 1}, Case{{-1, -2}, -1}, Case{{32767, 32767, 32767}, 32767}}) {
        CFrame plane;
        MakePlane(plane, static_cast<int32_t>(c.samples.size()), 1, c.samples);
        EXPECT_EQ(plane.Mean(), c.mean);
    }
    CFrame full;
    full.Fill(32767);  // the sum exceeds 32 bits
    EXPECT_EQ(full.Mean(), 32767);
}

TEST(Frame, Rotate90TurnsClockwise) {
    CFrame frame;
    MakePlane(frame, 3, 2, {'a', 'b', 'c', 'd', 'e', 'f'});
    frame.Rotate90();
    EXPECT_EQ(frame.m_nCols, 2);
    EXPECT_EQ(frame.m_nRows, 3);
    EXPECT_EQ(SignedSamples(frame), (std::vector<int32_t>{'d', 'a', 'e', 'b', 'f', 'c'}));
    EXPECT_EQ(frame.m_nNominalWidth, 1280);

    CFrame half;
    MakePlane(half, 3, 2, {1, 2, 3, 4, 5, 6});
    half.Rotate90();
    half.Rotate90();
    EXPECT_EQ(SignedSamples(half), (std::vector<int32_t>{6, 5, 4, 3, 2, 1}));
}

TEST(Frame, SmoothingChangesInnerSamplesOnlyIn16BitArithmetic) {
    CFrame diagonal, vertical;
    const std::vector<int32_t> grid = {10, 20, 30, 40, 50, 60, 70, 80, 91};
    MakePlane(diagonal, 3, 3, grid);
    MakePlane(vertical, 3, 3, grid);
    diagonal.SmoothDiagonal();
    vertical.SmoothVertical();
    std::vector<int32_t> expected = grid;
    expected[4] = (4 * 50 + 10 + 30 + 70 + 91) / 8;
    EXPECT_EQ(SignedSamples(diagonal), expected);
    expected[4] = (6 * 50 + 20 + 80) / 8;
    EXPECT_EQ(SignedSamples(vertical), expected);

    // A negative sample counts as 32768 or more: the unsigned total wraps at 65536.
    CFrame negative;
    MakePlane(negative, 3, 3, {0, -8, 0, 0, 0, 0, 0, 0, 0});
    negative.SmoothVertical();
    EXPECT_EQ(negative.GetPixel(1, 1), (65528 + 0) / 8);

    CFrame thin;
    MakePlane(thin, 4, 2, {1, 9, 1, 9, 9, 1, 9, 1});
    thin.SmoothDiagonal();
    EXPECT_EQ(SignedSamples(thin), (std::vector<int32_t>{1, 9, 1, 9, 9, 1, 9, 1}));
}

TEST(Frame, ShiftsMoveOneRowOrColumnAndKeepTheVacatedEnd) {
    struct Case {
        int32_t shift;
        std::vector<int32_t> row;
    };
    for (const Case& c : {Case{2, {1, 2, 1, 2, 3}}, Case{-2, {3, 4, 5, 4, 5}}, Case{5, {1, 2, 3, 4, 5}},
                          Case{-5, {1, 2, 3, 4, 5}}, Case{0, {1, 2, 3, 4, 5}},
                          Case{INT32_MIN, {1, 2, 3, 4, 5}}}) {
        CFrame frame;
        MakePlane(frame, 5, 2, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10});
        frame.ShiftRow(c.shift, 1 - 1);
        std::vector<int32_t> expected = c.row;
        expected.insert(expected.end(), {6, 7, 8, 9, 10});
        EXPECT_EQ(SignedSamples(frame), expected) << "shift " << c.shift;
    }
    CFrame column;
    MakePlane(column, 2, 3, {1, 7, 2, 8, 3, 9});
    column.ShiftColumn(0, 1);
    EXPECT_EQ(SignedSamples(column), (std::vector<int32_t>{1, 7, 1, 8, 2, 9}));
    MakePlane(column, 2, 3, {1, 7, 2, 8, 3, 9});
    column.ShiftColumn(0, -1);
    EXPECT_EQ(SignedSamples(column), (std::vector<int32_t>{2, 7, 3, 8, 3, 9}));
    column.ShiftColumn(5, 1);  // outside the plane: nothing
    column.ShiftRow(1, 7);
    EXPECT_EQ(SignedSamples(column), (std::vector<int32_t>{2, 7, 3, 8, 3, 9}));
}

TEST(OffsetFile, SaveAndLoadRoundTripWithTheFileLayout) {
    TempDir dir;
    CFrame frame;
    frame.Fill(0);
    frame.SetPixel(0, 0, -150);
    frame.SetPixel(1279, 1023, 4095);
    frame.Save(dir.Path("offset.frm"));
    const std::vector<uint8_t> bytes = ReadBytes(dir.Path("offset.frm"));
    ASSERT_EQ(bytes.size(), 2621458u);
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin(), bytes.begin() + 18),
              (std::vector<uint8_t>{0x46, 0x52, 0x41, 0x4D, 0x45, 0x00, 0x00, 0x00, 0x14, 0x00, 0x00,
                                    0x05, 0x00, 0x00, 0x00, 0x04, 0x00, 0x00}));
    EXPECT_EQ(bytes[18], 0x6A);  // -150 little-endian
    EXPECT_EQ(bytes[19], 0xFF);

    CFrame loaded;
    loaded.SetFileName("kept");
    loaded.m_nDelayLine = 3;
    loaded.Load(dir.Path("offset.frm"));
    ASSERT_TRUE(loaded.HasData());
    EXPECT_EQ(loaded.m_nCols, 1280);
    EXPECT_EQ(loaded.m_nRows, 1024);
    EXPECT_EQ(loaded.GetPixel(0, 0), -150);
    EXPECT_EQ(loaded.GetPixel(1279, 1023), 4095);
    EXPECT_EQ(loaded.m_strFileName, "kept");
    EXPECT_EQ(loaded.m_nDelayLine, 3);
    EXPECT_EQ(dir.Files(), std::vector<std::string>{"offset.frm"});
}

TEST(OffsetFile, LoadReadsAWrongMagicAndWidthBeforeHeight) {
    TempDir dir;
    std::vector<uint8_t> bytes = OffsetFileBytes(6, 3, 2, {1, 2, 3, 4, 5, 0xFFFF});
    bytes[0] = 'X';
    WriteBytes(dir.Path("x.frm"), bytes);
    CFrame frame;
    frame.Load(dir.Path("x.frm"));
    EXPECT_EQ(frame.m_nCols, 3);
    EXPECT_EQ(frame.m_nRows, 2);
    EXPECT_EQ(SignedSamples(frame), (std::vector<int32_t>{1, 2, 3, 4, 5, -1}));
}

TEST(OffsetFile, DefectiveFilesLeaveThePlaneAsItWas) {
    TempDir dir;
    struct Case {
        const char* name;
        std::vector<uint8_t> bytes;
    };
    std::vector<uint8_t> truncatedHeader = OffsetFileBytes(4, 2, 2, {});
    truncatedHeader.resize(14);
    const std::vector<Case> cases = {
        {"missing", {}},
        {"truncated header", truncatedHeader},
        {"truncated samples", OffsetFileBytes(4, 2, 2, {1, 2, 3})},
        {"negative count", OffsetFileBytes(-4, -2, 2, {})},
        {"count not width x height", OffsetFileBytes(3, 2, 2, {1, 2, 3, 4})},
        {"negative size", OffsetFileBytes(4, -2, -2, {1, 2, 3, 4})},
        {"huge count", OffsetFileBytes(0x7FFFFFFF, 0x7FFFFFFF, 1, {1, 2})},
    };
    for (const Case& c : cases) {
        const std::string path = dir.Path("bad.frm");
        std::filesystem::remove(path);
        if (!c.bytes.empty()) WriteBytes(path, c.bytes);
        CFrame frame;
        MakePlane(frame, 3, 1, {7, 8, 9});
        frame.Load(path);
        EXPECT_EQ(frame.m_nCols, 3) << c.name;
        EXPECT_EQ(frame.m_nRows, 1) << c.name;
        EXPECT_EQ(SignedSamples(frame), (std::vector<int32_t>{7, 8, 9})) << c.name;
    }
}

TEST(OffsetFile, FailedWriteKeepsTheOldFileAndLeavesNoTemporary) {
    TempDir dir;
    const std::string path = dir.Path("offset.frm");
    CFrame old;
    MakePlane(old, 2, 1, {1, 2});
    old.Save(path);
    const std::vector<uint8_t> before = ReadBytes(path);

    CFrame frame;
    frame.Fill(5);
    for (int64_t failAt : {0, 10, 18, 1000, 2621457}) {
        testing_support::WriteFailure failure(failAt);
        frame.Save(path);
        EXPECT_EQ(ReadBytes(path), before) << failAt;
        EXPECT_EQ(dir.Files(), std::vector<std::string>{"offset.frm"}) << failAt;
    }
    frame.Save(dir.Path("no-such-folder/offset.frm"));
    frame.Save("");
    EXPECT_EQ(dir.Files(), std::vector<std::string>{"offset.frm"});
}

TEST(Frame, AllocationFailuresEndWithTheDefinedState) {
    CFrame frame;
    MakePlane(frame, 3, 2, {1, 2, 3, 4, 5, 6});
    {
        AllocationFailure failure(1);
        frame.Rotate90();
        frame.SmoothDiagonal();
        frame.SmoothVertical();
    }
    EXPECT_EQ(frame.m_nCols, 3);
    EXPECT_EQ(SignedSamples(frame), (std::vector<int32_t>{1, 2, 3, 4, 5, 6}));
    {
        AllocationFailure failure(1, true);
        frame.Rotate90();
        frame.SmoothDiagonal();
        frame.SmoothVertical();
        EXPECT_EQ(failure.Allocations(), 3);
    }
    EXPECT_EQ(SignedSamples(frame), (std::vector<int32_t>{1, 2, 3, 4, 5, 6}));

    {
        AllocationFailure failure(1);
        frame.Fill(7);
    }
    EXPECT_FALSE(frame.HasData());
    EXPECT_EQ(frame.m_nCols, 1280);
    EXPECT_EQ(frame.m_nRows, 1024);
    EXPECT_EQ(frame.m_nCount, 1280 * 1024);
    EXPECT_EQ(frame.GetPixel(0, 0), 0);

    TempDir dir;
    CFrame small;
    MakePlane(small, 2, 2, {1, 2, 3, 4});
    small.Save(dir.Path("o.frm"));
    CFrame target;
    MakePlane(target, 1, 1, {9});
    {
        AllocationFailure failure(1);
        target.Load(dir.Path("o.frm"));
    }
    EXPECT_FALSE(target.HasData());
    EXPECT_EQ(target.m_nCount, target.m_nCols * target.m_nRows);
    EXPECT_EQ(target.m_nCols, 2);
}
