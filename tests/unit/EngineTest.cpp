#include <gtest/gtest.h>

#include "engine/FrameEngine.h"
#include "support/Hooks.h"
#include "support/TestFiles.h"

using testing_support::MessageRecorder;

TEST(Engine, StartsWithTheDefaults) {
    CFrameEngine engine;
    EXPECT_EQ(engine.m_bShowErrors, 1);
    EXPECT_EQ(engine.m_nThreshold, 90);
    EXPECT_EQ(engine.m_nCorrectionFactor, 100);
    EXPECT_EQ(engine.m_DensiValues, CWordArray(48, 0));
    EXPECT_EQ(engine.m_nPosition, 0);
    EXPECT_EQ(engine.m_nWidth, 1280);
    EXPECT_EQ(engine.m_nHeight, 1024);
    EXPECT_EQ(engine.m_nDelayLine, 0);
    EXPECT_EQ(engine.m_nDelayShift, 0);
    EXPECT_EQ(engine.m_nColor, 0);
    EXPECT_FALSE(engine.m_OutputDC.HasDC());
    EXPECT_FALSE(engine.m_Offset.HasData());
    EXPECT_FALSE(engine.m_Lut.HasTable());
    EXPECT_EQ(engine.m_Image.Pixels(), nullptr);
    for (const CFrame& frame : engine.m_Frames) EXPECT_FALSE(frame.HasData());
}

TEST(Engine, ShowDialogListsNamesAndColourWhateverTheErrorFlag) {
    MessageRecorder messages;
    CFrameEngine engine;
    engine.DisableErrorWindow(1);
    engine.ShowDialog();
    engine.SetDeviceName("\\\\.\\DISPLAY2");
    engine.SetLutFile("lut.lut");
    engine.SetOffsetFile(nullptr);
    engine.SetColor(2);
    engine.ShowDialog();
    ASSERT_EQ(messages.Messages().size(), 2u);
    EXPECT_EQ(messages.Messages()[0].text, "\n\n\ncolor = 0\n");
    EXPECT_EQ(messages.Messages()[0].style, platform::MessageStyle::Information);
    EXPECT_EQ(messages.Messages()[1].text, "\\\\.\\DISPLAY2\nlut.lut\n\ncolor = 2\n");
}

TEST(Engine, SettersStoreWhatTheyAreGiven) {
    CFrameEngine engine;
    EXPECT_EQ(engine.SetColor(2), 2);
    EXPECT_EQ(engine.SetColor(3), 2);
    EXPECT_EQ(engine.SetColor(-1), 2);
    EXPECT_EQ(engine.SetColor(0), 0);
    EXPECT_EQ(engine.SetPosition(7), 7);
    EXPECT_EQ(engine.m_nPosition, 7);
    EXPECT_EQ(engine.SetDelayLine(5), 5);
    EXPECT_EQ(engine.SetDelayShift(-2), -2);
    EXPECT_EQ(engine.SetCorrectionFactor(123), 123);
    EXPECT_EQ(engine.SetThreshold(-7), -7);
    EXPECT_EQ(engine.DisableErrorWindow(5), 0);
    EXPECT_EQ(engine.DisableErrorWindow(0), 1);
    EXPECT_EQ(engine.DisableErrorWindow(-1), 0);

    engine.SetDensiValue(0, 65536 + 150);
    engine.SetDensiValue(47, -1);
    engine.SetDensiValue(48, 9);
    engine.SetDensiValue(-1, 9);
    EXPECT_EQ(engine.m_DensiValues[0], 150);
    EXPECT_EQ(engine.m_DensiValues[47], 65535);
    EXPECT_EQ(engine.m_DensiValues.size(), 48u);

    engine.SetScanFile("scan.bmp");
    EXPECT_EQ(engine.m_strScanFile, "scan.bmp");
    engine.SetScanFile(nullptr);
    EXPECT_EQ(engine.m_strScanFile, "");
}

TEST(Engine, SetOffsetFileReloadsEveryTime) {
    testing_support::TempDir dir;
    const std::string path = dir.Path("offset.frm");
    CFrame map;
    map.Fill(-3);
    map.Save(path);

    CFrameEngine engine;
    engine.SetOffsetFile(path.c_str());
    ASSERT_TRUE(engine.m_Offset.HasData());
    EXPECT_EQ(engine.m_Offset.GetPixel(9, 9), -3);
    EXPECT_EQ(engine.m_strOffsetFile, path);

    map.Fill(12);
    map.Save(path);
    engine.SetOffsetFile(path.c_str());
    EXPECT_EQ(engine.m_Offset.GetPixel(9, 9), 12);
}

TEST(Engine, FrameIndexesOutsideTheTwelveAreIgnored) {
    // OutputFrame hands the delay line to the frame it draws: with it set to 1 first, a frame
    // touched through an index outside 0..11 would show it.
    CFrameEngine engine;
    engine.SetDelayLine(1);
    for (int index : {-1, 12, 1000}) {
        engine.CalcFrame(index);
        engine.OutputFrame(index);
    }
    for (const CFrame& frame : engine.m_Frames) {
        EXPECT_EQ(frame.m_nDelayLine, 0);
        EXPECT_FALSE(frame.HasData());
    }
    engine.OutputFrame(11);
    EXPECT_EQ(engine.m_Frames[11].m_nDelayLine, 1);
}
