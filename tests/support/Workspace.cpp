#include "support/Workspace.h"

#include <gtest/gtest.h>

#include "engine/FrameEngine.h"
#include "support/Bitmaps.h"

namespace testing_support {

namespace {

void ExpectConsistent(const CFrame& plane, const std::string& what) {
    EXPECT_EQ(static_cast<int64_t>(plane.m_nCount), static_cast<int64_t>(plane.m_nRows) * plane.m_nCols) << what;
    if (!plane.HasData()) return;
    int64_t sum = 0;
    for (int32_t i = 0; i < plane.m_nCount; ++i) sum += plane.m_pData[i];
    EXPECT_GE(sum, 0) << what;
}

}  // namespace

Workspace::Workspace() {
    WriteBytes(Image(), BitmapFile(BitmapSpec{64, 48}, PatternByte));
    WriteBytes(Scan(), BitmapFile(BitmapSpec{64, 48}, PatternByte));
    CLut lut;
    lut.MakeInverse(3000);
    lut.Save(Lut());
    CFrame offsets;
    offsets.m_nCols = 32;
    offsets.m_nRows = 24;
    offsets.m_nCount = 32 * 24;
    offsets.m_pData = std::make_unique<uint16_t[]>(32 * 24);
    for (int32_t i = 0; i < offsets.m_nCount; ++i) offsets.m_pData[i] = static_cast<uint16_t>(i % 50 - 25);
    offsets.Save(Offsets());
    m_lut = ReadBytes(Lut());
    m_offsets = ReadBytes(Offsets());
}

void Workspace::Prepare(CFrameEngine& engine) const {
    engine.SetLutFile(Lut().c_str());
    engine.SetOffsetFile(Offsets().c_str());
    EXPECT_EQ(engine.SetImageFile(Image().c_str()), 0);
    engine.SetScanFile(Scan().c_str());
    for (int32_t i = 0; i < CFrameEngine::kDensiValueCount; ++i) engine.SetDensiValue(i, 20 + 5 * i);
    engine.CalcFrame(0);
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
