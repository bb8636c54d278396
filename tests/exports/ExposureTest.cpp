// The main job as a host runs it, through the exports, onto a file display.
#include <gtest/gtest.h>

#include <cstdio>

#include "exports/Library.h"
#include "support/DisplayPictures.h"
#include "support/TestFiles.h"

namespace dp = display_pictures;

TEST(Exposure, TwelveFramesShowEveryImageByteExactlyOnce) {
    host::CKavrel& kavrel = Library();
    testing_support::TempDir dir;
    const std::vector<uint8_t> pixels = dp::NoiseBytes(dp::Stride(2560) * 2048, 12345);
    testing_support::WriteBytes(dir.Path("image.bmp"), dp::BitmapFile(2560, 2048, pixels));
    testing_support::WriteBytes(dir.Path("lut.lut"), dp::LutFile(dp::ByteKeepingLut()));
    testing_support::WriteBytes(dir.Path("offset.frm"), dp::ZeroOffsetFile(1280, 1024));
    const std::string shown = dir.Path("shown-%02d.bmp");

    kavrel.SetDeviceName(("file:" + shown).c_str());
    kavrel.SetLutFile(dir.Path("lut.lut").c_str());
    kavrel.SetOffsetFile(dir.Path("offset.frm").c_str());
    ASSERT_EQ(kavrel.SetImageFile(dir.Path("image.bmp").c_str()), 0);
    kavrel.OpenOutputDevice();
    for (int index = 0; index < 12; ++index) {
        kavrel.SetColor(index % 3);
        kavrel.SetPosition(index / 3);
        kavrel.CalcFrame(index);
        kavrel.OutputFrame(index);
    }
    kavrel.CloseOutputDevice();
    kavrel.SetDeviceName("");

    // Full-size frames need no black fill: one picture per frame.
    EXPECT_EQ(dir.Files().size(), 3u + 12u);
    dp::ExposureCheck check(pixels);
    for (int index = 0; index < 12; ++index) {
        char name[16];
        std::snprintf(name, sizeof name, "shown-%02d.bmp", index);
        const dp::Picture picture =
            dp::PictureFromBitmapFile(testing_support::ReadBytes(dir.Path(name)));
        EXPECT_EQ(check.AddFrame(index % 3, index / 3, picture), 0) << index;
    }
    EXPECT_TRUE(check.EveryByteShownOnce());
}
