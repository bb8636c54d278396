// Saving the calibration files on a file system that is really full: a small tmpfs, mounted for
// the test. Mounting needs root (or CAP_SYS_ADMIN); without it the test says so and is skipped,
// except in CI (CI=true), where it must run.
#include <errno.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

#include "engine/FrameEngine.h"
#include "support/Planes.h"
#include "support/ScanPicture.h"
#include "platform/SafeSave.h"
#include "image/Frame.h"
#include "image/Lut.h"
#include "support/Hooks.h"
#include "support/TestFiles.h"

using namespace testing_support;

namespace {

// A tmpfs of the given size on a fresh folder, unmounted and removed with the object.
class SmallTmpfs {
public:
    explicit SmallTmpfs(const std::string& size) {
        char folder[] = "/tmp/kavrel-full-disk.XXXXXX";
        if (::mkdtemp(folder) == nullptr) {
            m_error = std::strerror(errno);
            return;
        }
        m_path = folder;
        if (::mount("kavrel-full-disk", folder, "tmpfs", MS_NOSUID | MS_NODEV,
                    ("size=" + size).c_str()) != 0) {
            m_error = std::strerror(errno);
            ::rmdir(folder);
            m_path.clear();
            return;
        }
        m_mounted = true;
    }
    ~SmallTmpfs() {
        if (m_mounted) ::umount2(m_path.c_str(), MNT_DETACH);
        if (!m_path.empty()) ::rmdir(m_path.c_str());
    }
    bool Mounted() const { return m_mounted; }
    const std::string& Error() const { return m_error; }
    std::string Path(const std::string& name) const { return m_path + "/" + name; }

    // Fills the file system to the last byte with one file; returns its size.
    size_t Fill() const {
        const int fd = ::open(Path("filler").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (fd < 0) return 0;
        size_t total = 0;
        static const char block[4096] = {};
        for (size_t chunk = sizeof block; chunk > 0; chunk /= 2) {
            ssize_t n;
            while ((n = ::write(fd, block, chunk)) > 0) total += static_cast<size_t>(n);
        }
        ::close(fd);
        return total;
    }
    void Unfill() const { ::unlink(Path("filler").c_str()); }

private:
    std::string m_path;
    std::string m_error;
    bool m_mounted = false;
};

bool InCi() {
    const char* ci = std::getenv("CI");
    return ci != nullptr && std::string(ci) == "true";
}

// Whether the disk is mounted. If not, the test is marked skipped where mounting is not allowed,
// and failed in CI, which must run it as root; the caller then returns.
bool MountedOrReported(const SmallTmpfs& disk) {
    if (disk.Mounted()) return true;
    [&] {  // FAIL and GTEST_SKIP return, from this lambda only
        if (InCi())
            FAIL() << "cannot mount a tmpfs (" << disk.Error()
                   << "); CI must run this test as root";
        GTEST_SKIP() << "SKIPPED: cannot mount a small tmpfs here (" << disk.Error()
                     << "); the full-disk test needs root or CAP_SYS_ADMIN";
    }();
    return false;
}

// The calibration files on the disk before a test: their paths and what they held.
struct OldFiles {
    std::string lutPath;
    std::string offsetPath;
    std::vector<uint8_t> lutBefore;
    std::vector<uint8_t> offsetsBefore;
};

// Saves the inverse LUT of lutStep and the map as "table.lut" and "offsets.frm" on the disk.
OldFiles SaveOldFiles(const SmallTmpfs& disk, int32_t lutStep, const CFrame& map) {
    OldFiles files{disk.Path("table.lut"), disk.Path("offsets.frm"), {}, {}};
    CLut lut;
    lut.MakeInverse(lutStep);
    lut.Save(files.lutPath);
    map.Save(files.offsetPath);
    files.lutBefore = ReadBytes(files.lutPath);
    files.offsetsBefore = ReadBytes(files.offsetPath);
    return files;
}

}  // namespace

TEST(FullDisk, SavesKeepTheOldFilesAndLeaveNoTemporary) {
    SmallTmpfs disk("1m");
    if (!MountedOrReported(disk)) return;
    CFrame oldMap;
    testing_support::PaintSamples(oldMap, 100, 50, [](int32_t i) { return i; });
    const auto [lutPath, offsetPath, lutBefore, offsetsBefore] = SaveOldFiles(disk, 3000, oldMap);
    ASSERT_EQ(lutBefore.size(), 528u);
    ASSERT_EQ(offsetsBefore.size(), 10018u);

    // A full map (2.6 MB) does not fit into 1 MB even when the disk is empty.
    CFrame map;
    map.Fill(-7);
    map.Save(offsetPath);
    EXPECT_EQ(ReadBytes(offsetPath), offsetsBefore);

    ASSERT_GT(disk.Fill(), 0u);
    CLut lut;
    lut.MakeLinear(2000);
    lut.Save(lutPath);
    oldMap.m_pData[0] = 4095;
    oldMap.Save(offsetPath);
    EXPECT_EQ(ReadBytes(lutPath), lutBefore);
    EXPECT_EQ(ReadBytes(offsetPath), offsetsBefore);
    EXPECT_TRUE(kavrel::LeftoverTemporaries(lutPath).empty());
    EXPECT_TRUE(kavrel::LeftoverTemporaries(offsetPath).empty());

    // With room again, the same saves go through.
    disk.Unfill();
    lut.Save(lutPath);
    oldMap.Save(offsetPath);
    EXPECT_EQ(ReadBytes(lutPath).size(), 528u);
    EXPECT_NE(ReadBytes(lutPath), lutBefore);
    EXPECT_EQ(ReadBytes(offsetPath).size(), 10018u);
    EXPECT_NE(ReadBytes(offsetPath), offsetsBefore);
}

// The calibrations and the file display on a full disk: the calibration files keep what they
// held, and no picture is left half written.
TEST(FullDisk, CalibrationsAndTheFileDisplayLeaveNothingHalfWritten) {
    SmallTmpfs disk("16m");
    if (!MountedOrReported(disk)) return;
    MessageRecorder messages;
    TempDir dir;
    // A scan in units of 6 pixels: an exposed area of 1434 x 1212 pixels, enough to measure.
    const uint8_t scan[] = {255, 220, 8, 8, 247, 210, 100, 255, 220, 7, 0, 0, 9, 3};
    WriteBytes(dir.Path("scan.bmp"),
               testing_support::ScanBitmapFile(testing_support::DescribedScan(scan, sizeof scan, 1)));
    CFrame oldMap;
    oldMap.Fill(3);
    const auto [lutPath, offsetPath, lutBefore, offsetsBefore] = SaveOldFiles(disk, 4095, oldMap);

    CFrameEngine engine;
    engine.SetLutFile(lutPath.c_str());
    engine.SetOffsetFile(offsetPath.c_str());
    engine.SetScanFile(dir.Path("scan.bmp").c_str());
    for (int32_t i = 0; i < CFrameEngine::kDensiValueCount; ++i)
        engine.SetDensiValue(i, 1000 - 20 * i);
    engine.SetDeviceName(("file:" + disk.Path("shown-%d.bmp")).c_str());
    engine.OpenOutputDevice();
    ASSERT_TRUE(engine.m_OutputDC.HasDC());

    ASSERT_GT(disk.Fill(), 0u);
    engine.CalcLut();
    engine.CalcOffset(1);
    engine.OutputBlankFrame(2000);
    EXPECT_EQ(ReadBytes(lutPath), lutBefore);
    EXPECT_EQ(ReadBytes(offsetPath), offsetsBefore);
    EXPECT_FALSE(FileExists(disk.Path("shown-0.bmp")));
    EXPECT_TRUE(kavrel::LeftoverTemporaries(lutPath).empty());
    EXPECT_TRUE(kavrel::LeftoverTemporaries(offsetPath).empty());
    EXPECT_TRUE(kavrel::LeftoverTemporaries(disk.Path("shown-0.bmp")).empty());

    // With room again the same calls write complete files.
    disk.Unfill();
    engine.CalcLut();
    engine.CalcOffset(1);
    engine.OutputBlankFrame(2000);
    EXPECT_EQ(ReadBytes(lutPath).size(), 528u);
    EXPECT_NE(ReadBytes(lutPath), lutBefore);
    EXPECT_EQ(ReadBytes(offsetPath).size(), 18u + 2u * 1280u * 1024u);
    EXPECT_NE(ReadBytes(offsetPath), offsetsBefore);
    EXPECT_EQ(ReadBytes(disk.Path("shown-1.bmp")).size(), 54u + 3u * 1280u * 1024u);
}
