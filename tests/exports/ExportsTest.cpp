// The exports as a host calls them: results, missing files, the information box.
#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "exports/HostSystem.h"
#include "exports/Library.h"
#include "support/TestFiles.h"

TEST(Exports, SettersReturnWhatTheHostMayRelyOn) {
    host::CKavrel& k = Library();
    // In this order: a colour outside 0..2 keeps the one in force; the last call of each setter
    // leaves the engine as the other tests expect it.
    using Setter = decltype(&::SetColor) host::CKavrel::*;
    struct Case {
        const char* name;
        Setter setter;
        std::vector<std::pair<int, int>> valuesAndResults;
    };
    const Case cases[] = {
        {"SetColor", &host::CKavrel::SetColor, {{2, 2}, {3, 2}, {-1, 2}, {0, 0}}},
        {"SetPosition", &host::CKavrel::SetPosition, {{7, 7}, {0, 0}}},
        {"SetDelayLine", &host::CKavrel::SetDelayLine, {{5, 5}, {0, 0}}},
        {"SetDelayShift", &host::CKavrel::SetDelayShift, {{2, 2}, {0, 0}}},
        {"SetCorrectionFactor", &host::CKavrel::SetCorrectionFactor, {{250, 250}, {100, 100}}},
        {"SetThreshold", &host::CKavrel::SetThreshold, {{80, 80}, {90, 90}}},
        {"DisableErrorWindow", &host::CKavrel::DisableErrorWindow, {{5, 0}, {0, 1}}},
    };
    for (const Case& c : cases)
        for (const auto& [value, result] : c.valuesAndResults)
            EXPECT_EQ((k.*c.setter)(value), result) << c.name << "(" << value << ")";
    char pixels[12];
    EXPECT_EQ(k.SetBitmapPointer(pixels), pixels);
    EXPECT_EQ(k.SetBitmapPointer(nullptr), nullptr);
    k.SetDensiValue(0, 70000);
    k.SetDensiValue(48, 1);
    k.SetDensiValue(-1, 1);
    k.SetDensiValue(0, 0);
}

TEST(Exports, NullAndMissingFilesAreNoError) {
    host::CKavrel& k = Library();
    testing_support::TempDir dir;
    EXPECT_EQ(k.SetImageFile(dir.Path("missing.bmp").c_str()), 1);
    EXPECT_EQ(k.SetImageFile(nullptr), 1);
    k.SetLutFile(nullptr);
    k.SetOffsetFile(dir.Path("missing.frm").c_str());
    k.SetScanFile(nullptr);
    k.SetDeviceName(nullptr);
    k.SetDensiValue(99, 1);
    k.CalcFrame(0);
    k.OutputFrame(0);
    k.CalcFrame(12);
    k.OutputFrame(-1);
    EXPECT_TRUE(dir.Files().empty());
}

TEST(Exports, ShowDialogShowsNamesAndColourInAnInformationBox) {
    host::CKavrel& k = Library();
    k.SetDeviceName("");
    k.SetLutFile("");
    k.SetOffsetFile("");
    k.SetColor(0);
    EXPECT_TRUE(IsOneBox(CaptureMessageBoxes([&] { k.ShowDialog(); }), "\n\n\ncolor = 0\n", false));

    testing_support::TempDir dir;
    const std::string lut = dir.Path("missing.lut");
    k.SetDeviceName("\\\\.\\DISPLAY2");
    k.SetLutFile(lut.c_str());
    k.SetOffsetFile(nullptr);
    k.SetColor(2);
    k.DisableErrorWindow(1);  // the information box does not depend on the error flag
    const std::vector<CapturedBox> boxes = CaptureMessageBoxes([&] { k.ShowDialog(); });
    k.DisableErrorWindow(0);
    k.SetColor(0);
    k.SetDeviceName("");
    k.SetLutFile("");
    EXPECT_TRUE(IsOneBox(boxes, "\\\\.\\DISPLAY2\n" + lut + "\n\ncolor = 2\n", false));
}

// A display that does not open shows its message (when errors are shown) and leaves no display
// open: the one opened before, here a file display, draws nothing any more.
TEST(Exports, FailedOpenShowsItsMessageOnlyWhenErrorsAreShown) {
    host::CKavrel& k = Library();
    testing_support::TempDir dir;
    k.SetDeviceName(("file:" + dir.Path("shown-%02d.bmp")).c_str());
    k.OpenOutputDevice();
    k.OutputBlankFrame(0x123);
    ASSERT_EQ(dir.Files().size(), 1u);
    for (const std::string& name : {std::string("NoSuchDisplay"), std::string(32, 'D')}) {
        SCOPED_TRACE(name);
        k.SetDeviceName(name.c_str());
        EXPECT_TRUE(IsOneBox(CaptureMessageBoxes([&] { k.OpenOutputDevice(); }),
                             "Can\xB4t open Output Display", true));
        k.DisableErrorWindow(1);
        EXPECT_TRUE(CaptureMessageBoxes([&] { k.OpenOutputDevice(); }).empty());
        k.DisableErrorWindow(0);
    }
    k.OutputBlankFrame(4095);
    EXPECT_EQ(dir.Files().size(), 1u);
    k.SetDeviceName("");
}
