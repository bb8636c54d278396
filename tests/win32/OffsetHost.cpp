// CalcOffset through the real DLL: a synthetic scan in, the offset file out.
#include "support/ScanPicture.h"
#include "win32/Host.h"

namespace {

bool FileExists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

}  // namespace

HOST_CHECK(CalcOffsetWritesTheOffsetFileFromAScan) {
    const Kavrel& k = Library();
    HostTempDir dir;
    const std::string scan = dir.Path("scan.bmp");
    const std::string offset = dir.Path("offset.frm");
    WriteFileBytes(scan, testing_support::ScanBitmapFile(testing_support::ScanPicture{}));
    k.DisableErrorWindow(0);
    k.SetScanFile(scan.c_str());
    k.SetOffsetFile(offset.c_str());

    std::vector<CapturedBox> boxes = CaptureMessageBoxes([&] { k.CalcOffset(1); });
    EXPECT_EQ(boxes.size(), 0u);
    const std::vector<uint8_t> file = ReadFileBytes(offset);
    EXPECT_EQ(file.size(), 18u + 2u * 1280u * 1024u);
    if (file.size() >= 18) {
        const std::vector<uint8_t> header(file.begin(), file.begin() + 18);
        const std::vector<uint8_t> expected = {'F', 'R', 'A', 'M', 'E', 0, 0, 0, 0x14,
                                               0,   0,   5,   0,   0,   0, 4, 0, 0};
        EXPECT_TRUE(header == expected);
        // A uniform exposure needs no correction anywhere.
        bool allZero = true;
        for (size_t i = 18; i < file.size(); ++i) allZero = allZero && file[i] == 0;
        EXPECT_TRUE(allZero);
    }

    // The second calibration adds the first map and says so.
    boxes = CaptureMessageBoxes([&] { k.CalcOffset(1); });
    EXPECT_EQ(boxes.size(), 1u);
    if (boxes.size() == 1) {
        EXPECT_EQ(boxes[0].caption, std::string("kavrel"));
        EXPECT_EQ(boxes[0].text, std::string("Add"));
        EXPECT_TRUE(boxes[0].exclamationIcon);
    }

    // A colour byte outside the pixel, or a missing scan, writes nothing and shows nothing.
    const std::string other = dir.Path("other.frm");
    k.SetOffsetFile(other.c_str());
    boxes = CaptureMessageBoxes([&] { k.CalcOffset(3); });
    EXPECT_EQ(boxes.size(), 0u);
    EXPECT_TRUE(!FileExists(other));
    const std::string missing = dir.Path("missing.bmp");
    k.SetScanFile(missing.c_str());
    boxes = CaptureMessageBoxes([&] { k.CalcOffset(1); });
    EXPECT_EQ(boxes.size(), 0u);
    EXPECT_TRUE(!FileExists(other));

    k.SetScanFile("");
    k.SetOffsetFile("");
}
