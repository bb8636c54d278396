#include "support/Workspace.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "engine/FrameEngine.h"
#include "support/ScanPicture.h"
#include "support/Bitmaps.h"

namespace testing_support {

namespace {

void ExpectConsistent(const CFrame& plane, const std::string& what) {
    EXPECT_EQ(static_cast<int64_t>(plane.m_nCount),
              static_cast<int64_t>(plane.m_nRows) * plane.m_nCols)
        << what;
    if (!plane.HasData()) return;
    int64_t sum = 0;
    for (int32_t i = 0; i < plane.m_nCount; ++i) sum += plane.m_pData[i];
    EXPECT_GE(sum, 0) << what;
}

const std::string& SharedImage() {
    static const TempDir dir;
    static const std::string path = [] {
        const std::string image = dir.Path("image.bmp");
        WriteBytes(image, BitmapFile(BitmapLayout{64, 48}, PatternByte));
        return image;
    }();
    return path;
}

}  // namespace

// The calibration files as the library saves them, made once.
std::vector<uint8_t> SavedBytes(const std::function<void(const std::string&)>& save) {
    TempDir dir;
    save(dir.Path("file"));
    return ReadBytes(dir.Path("file"));
}

Workspace::Workspace() : m_image(SharedImage()) {
    static const std::vector<uint8_t> lut = SavedBytes([](const std::string& path) {
        CLut table;
        table.MakeInverse(3000);
        table.Save(path);
    });
    static const std::vector<uint8_t> offsets = SavedBytes([](const std::string& path) {
        CFrame map;
        map.Fill(0);
        for (int32_t i = 0; i < map.m_nCount; ++i)
            map.m_pData[i] = static_cast<uint16_t>(i % 51 - 25);
        map.Save(path);
    });
    // A scan that the offset calculation can measure: 1536 x 1326 after its turn, the dark area
    // (48, 48)-(1482, 1260) with marks, read through colour byte 1.
    static const uint8_t scan[] = {255, 220, 8, 8, 247, 210, 100, 255, 220, 7, 0, 0, 9, 3};
    static const std::vector<uint8_t> scanFile =
        ScanBitmapFile(DescribedScan(scan, sizeof scan, 1));
    WriteBytes(Lut(), lut);
    WriteBytes(Offsets(), offsets);
    WriteBytes(Scan(), scanFile);
    m_lut = lut;
    m_offsets = offsets;
}

void Workspace::ExpectFilesAsBefore(const std::vector<std::string>& before) const {
    std::vector<std::string> files = Files();
    const auto shown = std::find(files.begin(), files.end(), "shown.bmp");
    if (shown != files.end()) {
        files.erase(shown);
        const std::vector<uint8_t> picture = ReadBytes(Shown());
        EXPECT_EQ(picture.size(), 54u + 1280u * 1024u * 3u);
        EXPECT_TRUE(picture.size() > 2 && picture[0] == 'B' && picture[1] == 'M');
    }
    EXPECT_EQ(files, before);
}

void Workspace::Prepare(CFrameEngine& engine, bool display) const {
    engine.SetLutFile(Lut().c_str());
    engine.SetOffsetFile(Offsets().c_str());
    EXPECT_EQ(engine.SetImageFile(Image().c_str()), 0);
    engine.SetScanFile(Scan().c_str());
    for (int32_t i = 0; i < CFrameEngine::kDensiValueCount; ++i)
        engine.SetDensiValue(i, 20 + 5 * i);
    engine.CalcFrame(0);
    if (!display) return;
    engine.SetDeviceName(DisplayName().c_str());
    engine.OpenOutputDevice();
    EXPECT_TRUE(engine.m_OutputDC.HasDC());
}

void ExpectConsistent(const CFrameEngine& engine) {
    for (size_t i = 0; i < engine.m_Frames.size(); ++i)
        ExpectConsistent(engine.m_Frames[i], "frame " + std::to_string(i));
    ExpectConsistent(engine.m_Offset, "offset map");
    const CLut& lut = engine.m_Lut;
    if (!lut.HasTable()) return;
    ASSERT_GE(lut.m_nCount, 1);
    ASSERT_LE(lut.m_nCount, 256);
    int32_t sum = 0;
    for (int32_t i = 0; i < lut.m_nCount; ++i) sum += lut.m_pTable[i];
    EXPECT_NE(sum, INT32_MIN);
}

}  // namespace testing_support
