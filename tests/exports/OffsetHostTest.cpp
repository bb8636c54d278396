// CalcOffset through the exports: a synthetic scan in, the offset file out.
#include <gtest/gtest.h>

#include <algorithm>

#include "exports/HostSystem.h"
#include "exports/Library.h"
#include "support/ScanPicture.h"
#include "support/TestFiles.h"

using testing_support::FileExists;

TEST(OffsetHost, CalcOffsetWritesTheOffsetFileFromAScan) {
    host::CKavrel& k = Library();
    testing_support::TempDir dir;
    const std::string scan = dir.Path("scan.bmp");
    const std::string offset = dir.Path("offset.frm");
    testing_support::WriteBytes(scan,
                                testing_support::ScanBitmapFile(testing_support::ScanPicture{}));
    k.DisableErrorWindow(0);
    k.SetScanFile(scan.c_str());
    k.SetOffsetFile(offset.c_str());

    EXPECT_TRUE(CaptureMessageBoxes([&] { k.CalcOffset(1); }).empty());
    const std::vector<uint8_t> file = testing_support::ReadBytes(offset);
    ASSERT_EQ(file.size(), 18u + 2u * 1280u * 1024u);
    const std::vector<uint8_t> header(file.begin(), file.begin() + 18);
    const std::vector<uint8_t> expected = {'F', 'R', 'A', 'M', 'E', 0, 0, 0, 0x14,
                                           0,   0,   5,   0,   0,   0, 4, 0, 0};
    EXPECT_EQ(header, expected);
    // A uniform exposure needs no correction anywhere.
    EXPECT_TRUE(std::all_of(file.begin() + 18, file.end(), [](uint8_t b) { return b == 0; }));

    // The second calibration adds the first map and says so.
    EXPECT_TRUE(IsOneBox(CaptureMessageBoxes([&] { k.CalcOffset(1); }), "Add", true));

    // A colour byte outside the pixel, or a missing scan, writes nothing and shows nothing.
    const std::string other = dir.Path("other.frm");
    k.SetOffsetFile(other.c_str());
    EXPECT_TRUE(CaptureMessageBoxes([&] { k.CalcOffset(3); }).empty());
    EXPECT_FALSE(FileExists(other));
    k.SetScanFile(dir.Path("missing.bmp").c_str());
    EXPECT_TRUE(CaptureMessageBoxes([&] { k.CalcOffset(1); }).empty());
    EXPECT_FALSE(FileExists(other));

    k.SetScanFile("");
    k.SetOffsetFile("");
}
