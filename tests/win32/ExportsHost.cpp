// The exports through the real DLL: results, the information box, file names.
#include "win32/Host.h"

HOST_CHECK(SettersReturnTheirValues) {
    const Kavrel& k = Library();
    EXPECT_EQ(k.SetColor(2), 2);
    EXPECT_EQ(k.SetColor(3), 2);
    EXPECT_EQ(k.SetColor(-1), 2);
    EXPECT_EQ(k.SetColor(0), 0);
    EXPECT_EQ(k.SetPosition(7), 7);
    EXPECT_EQ(k.SetPosition(0), 0);
    EXPECT_EQ(k.SetDelayLine(5), 5);
    EXPECT_EQ(k.SetDelayLine(0), 0);
    EXPECT_EQ(k.SetDelayShift(2), 2);
    EXPECT_EQ(k.SetDelayShift(0), 0);
    EXPECT_EQ(k.SetCorrectionFactor(250), 250);
    EXPECT_EQ(k.SetCorrectionFactor(100), 100);
    EXPECT_EQ(k.SetThreshold(80), 80);
    EXPECT_EQ(k.SetThreshold(90), 90);
    EXPECT_EQ(k.DisableErrorWindow(5), 0);
    EXPECT_EQ(k.DisableErrorWindow(0), 1);
    char pixels[12];
    EXPECT_TRUE(k.SetBitmapPointer(pixels) == pixels);
    EXPECT_TRUE(k.SetBitmapPointer(nullptr) == nullptr);
    k.SetDensiValue(0, 70000);
    k.SetDensiValue(48, 1);
    k.SetDensiValue(-1, 1);
    k.SetDensiValue(0, 0);
}

HOST_CHECK(ShowDialogShowsNamesAndColourInAnInformationBox) {
    const Kavrel& k = Library();
    k.SetDeviceName("");
    k.SetLutFile("");
    k.SetOffsetFile("");
    k.SetColor(0);
    std::vector<CapturedBox> boxes = CaptureMessageBoxes([&] { k.ShowDialog(); });
    EXPECT_EQ(boxes.size(), 1u);
    if (boxes.size() == 1) {
        EXPECT_EQ(boxes[0].caption, std::string("kavrel"));
        EXPECT_EQ(boxes[0].text, std::string("\n\n\ncolor = 0\n"));
        EXPECT_TRUE(!boxes[0].exclamationIcon);
    }

    HostTempDir dir;
    const std::string lut = dir.Path("missing.lut");
    k.SetDeviceName("\\\\.\\DISPLAY2");
    k.SetLutFile(lut.c_str());
    k.SetOffsetFile(nullptr);
    k.SetColor(2);
    k.DisableErrorWindow(1);  // the information box does not depend on the error flag
    boxes = CaptureMessageBoxes([&] { k.ShowDialog(); });
    k.DisableErrorWindow(0);
    k.SetColor(0);
    k.SetDeviceName("");
    k.SetLutFile("");
    EXPECT_EQ(boxes.size(), 1u);
    if (boxes.size() == 1) EXPECT_EQ(boxes[0].text, "\\\\.\\DISPLAY2\n" + lut + "\n\ncolor = 2\n");
}

HOST_CHECK(MissingFilesAreNoError) {
    const Kavrel& k = Library();
    HostTempDir dir;
    EXPECT_EQ(k.SetImageFile(dir.Path("missing.bmp").c_str()), 1);
    EXPECT_EQ(k.SetImageFile(nullptr), 1);
    k.SetOffsetFile(dir.Path("missing.frm").c_str());
    k.CalcFrame(0);
    k.OutputFrame(0);
    k.CalcFrame(12);
    k.OutputFrame(-1);
}
