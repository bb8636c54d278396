#include <gtest/gtest.h>

#include "native/LibraryHost.h"
#include "support/TestFiles.h"

TEST(Exports, SettersReturnWhatTheHostMayRelyOn) {
    LibraryHost& kavrel = LibraryHost::Get();
    EXPECT_EQ(kavrel.SetColor(2), 2);
    EXPECT_EQ(kavrel.SetColor(3), 2);
    EXPECT_EQ(kavrel.SetColor(0), 0);
    EXPECT_EQ(kavrel.SetPosition(7), 7);
    EXPECT_EQ(kavrel.SetPosition(0), 0);
    EXPECT_EQ(kavrel.SetDelayLine(1), 1);
    EXPECT_EQ(kavrel.SetDelayLine(0), 0);
    EXPECT_EQ(kavrel.SetDelayShift(0), 0);
    EXPECT_EQ(kavrel.SetCorrectionFactor(100), 100);
    EXPECT_EQ(kavrel.SetThreshold(90), 90);
    EXPECT_EQ(kavrel.DisableErrorWindow(5), 0);
    EXPECT_EQ(kavrel.DisableErrorWindow(0), 1);
    char buffer[16];
    EXPECT_EQ(kavrel.SetBitmapPointer(buffer), buffer);
    EXPECT_EQ(kavrel.SetBitmapPointer(nullptr), nullptr);
}

TEST(Exports, NullAndMissingFilesAreHandled) {
    LibraryHost& kavrel = LibraryHost::Get();
    testing_support::TempDir dir;
    EXPECT_EQ(kavrel.SetImageFile(dir.Path("missing.bmp").c_str()), 1);
    EXPECT_EQ(kavrel.SetImageFile(nullptr), 1);
    kavrel.SetLutFile(nullptr);
    kavrel.SetOffsetFile(dir.Path("missing.frm").c_str());
    kavrel.SetScanFile(nullptr);
    kavrel.SetDeviceName(nullptr);
    kavrel.SetDensiValue(99, 1);
    kavrel.CalcFrame(0);
    kavrel.OutputFrame(0);
    EXPECT_TRUE(dir.Files().empty());
}
