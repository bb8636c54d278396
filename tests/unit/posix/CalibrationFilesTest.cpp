// The library's files on a POSIX system: FIFOs and device nodes are never waited on or replaced,
// links are followed, permissions kept, a file the caller cannot read is never taken for a
// missing one, oversized files are refused unread, and two processes calibrating one file at once
// both apply their correction.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <functional>

#include "engine/FrameEngine.h"
#include "image/BitmapImage.h"
#include "platform/SafeSave.h"
#include "image/Frame.h"
#include "image/Lut.h"
#include "platform/File.h"
#include "platform/Settings.h"
#include "support/Hooks.h"
#include "support/SettingsFolder.h"
#include "support/TestFiles.h"

using namespace testing_support;
namespace fs = std::filesystem;

namespace {

// A FIFO, a character device node (the null device's numbers, where the system lets the test make
// one; else a link to the system's) and a link to an endless device.
struct SpecialFiles {
    TempDir dir;
    std::vector<std::string> paths;
    SpecialFiles() {
        EXPECT_EQ(mkfifo(dir.Path("fifo").c_str(), 0666), 0);
        if (mknod(dir.Path("device").c_str(), S_IFCHR | 0666, makedev(1, 3)) != 0)
            fs::create_symlink("/dev/null", dir.Path("device"));
        fs::create_symlink("/dev/zero", dir.Path("zero"));
        paths = {dir.Path("fifo"), dir.Path("device"), dir.Path("zero")};
    }
};

std::vector<uint8_t> LutFileOf(CLut& lut) {
    TempDir dir;
    lut.Save(dir.Path("t.lut"));
    return ReadBytes(dir.Path("t.lut"));
}

// Runs the check in a child process, as an ordinary user when the test runs as root (who may
// read any file); true when the check held.
bool AsOrdinaryUser(const std::function<bool()>& check) {
    const pid_t child = fork();
    if (child == 0) {
        if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) _exit(2);
        _exit(check() ? 0 : 1);
    }
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

void Calibrate(CFrameEngine& engine, const std::string& lut) {
    engine.DisableErrorWindow(1);
    engine.SetLutFile(lut.c_str());
    for (int i = 0; i < 48; ++i) engine.SetDensiValue(i, 10 + 5 * i);
    engine.CalcLut();
}

}  // namespace

TEST(SpecialFiles, ReadersNeverWaitOnAFifoOrReadADevice) {
    SpecialFiles special;
    for (const std::string& path : special.paths) {
        SCOPED_TRACE(path);
        platform::CFile file;
        EXPECT_FALSE(file.OpenRead(path));
        CLut lut;
        lut.Load(path);
        ASSERT_TRUE(lut.HasTable());
        EXPECT_EQ(lut.m_pTable[0], 4095);  // the default table
        CFrame plane;
        plane.Load(path);
        EXPECT_FALSE(plane.HasData());
        CBitmapImage image;
        EXPECT_EQ(image.Load(path), 1);

        SettingsFolder settings;
        fs::create_symlink(path, settings.FilePath());
        EXPECT_EQ(platform::GetProfileInt("Imaging", "Gamma", 180), 180u);
    }
}

TEST(SpecialFiles, NoSaveReplacesAFifoADeviceOrAFolder) {
    SpecialFiles special;
    fs::create_directory(special.dir.Path("folder"));
    special.paths.push_back(special.dir.Path("folder"));
    const std::vector<std::string> before = special.dir.Files();
    CLut lut;
    lut.MakeLinear(2000);
    CFrame plane;
    plane.Fill(7);
    for (const std::string& path : special.paths) {
        SCOPED_TRACE(path);
        lut.Save(path);
        plane.Save(path);
        EXPECT_FALSE(fs::is_regular_file(fs::symlink_status(path)));
    }
    EXPECT_TRUE(fs::is_fifo(special.dir.Path("fifo")));
    EXPECT_EQ(special.dir.Files(), before);
}

TEST(SavedFiles, ALinkIsFollowedAndTheFilesPermissionsKept) {
    TempDir dir;
    fs::create_directory(dir.Path("shared"));
    const std::string real = dir.Path("shared/table.lut");
    WriteBytes(real, {1, 2, 3});
    fs::permissions(real, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    fs::create_symlink("shared/table.lut", dir.Path("link.lut"));
    // A stale link where temporary files go must not lead the save elsewhere.
    WriteBytes(dir.Path("victim"), {9});
    fs::create_symlink(dir.Path("victim"), kavrel::TemporaryPrefixFor(real));
    platform::CFile file;
    EXPECT_FALSE(file.CreateNew(kavrel::TemporaryPrefixFor(real)));

    CLut lut;
    lut.MakeLinear(2000);
    lut.Save(dir.Path("link.lut"));
    EXPECT_TRUE(fs::is_symlink(dir.Path("link.lut")));
    EXPECT_EQ(ReadBytes(real), LutFileOf(lut));
    EXPECT_EQ(fs::status(real).permissions(),
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    EXPECT_EQ(ReadBytes(dir.Path("victim")), std::vector<uint8_t>{9});
    EXPECT_EQ(kavrel::LeftoverTemporaries(real),
              std::vector<std::string>{kavrel::TemporaryPrefixFor(real)});
}

// Only a file that does not exist is a first calibration: one the caller may not read is kept,
// with a message, for both calculations.
TEST(CalibrationFiles, AnExistingFileTheCallerCannotReadIsKept) {
    TempDir dir;
    fs::permissions(dir.Path(""), fs::perms::all);
    const std::vector<uint8_t> old(528, 0x11);
    WriteBytes(dir.Path("secret.lut"), old);
    WriteBytes(dir.Path("secret.frm"), std::vector<uint8_t>(40, 0x22));
    for (const char* name : {"secret.lut", "secret.frm"})
        fs::permissions(dir.Path(name), fs::perms::owner_write | fs::perms::others_write);
    const std::string lutPath = dir.Path("secret.lut"), offsetPath = dir.Path("secret.frm");
    EXPECT_TRUE(AsOrdinaryUser([&] {
        MessageRecorder messages;
        CFrameEngine engine;
        Calibrate(engine, lutPath);
        engine.DisableErrorWindow(0);
        engine.CalcLut();
        engine.SetOffsetFile(offsetPath.c_str());
        engine.CalcOffset(1);
        return messages.Texts().size() == 2 &&
               messages.Texts()[0].find("cannot be read") != std::string::npos;
    }));
    fs::permissions(dir.Path("secret.lut"), fs::perms::owner_read);
    fs::permissions(dir.Path("secret.frm"), fs::perms::owner_read);
    EXPECT_EQ(ReadBytes(dir.Path("secret.lut")), old);
    EXPECT_EQ(ReadBytes(dir.Path("secret.frm")), std::vector<uint8_t>(40, 0x22));
    EXPECT_EQ(dir.Files(), (std::vector<std::string>{"secret.frm", "secret.lut"}));
}

// Two processes calibrate one file five times each, at once: the file ends as ten calibrations
// one after the other leave it.
TEST(CalibrationFiles, TwoProcessesCalibratingOneFileBothApply) {
    TempDir dir;
    const std::string shared = dir.Path("shared.lut"), alone = dir.Path("alone.lut");
    {
        CFrameEngine engine;
        for (int i = 0; i < 10; ++i) Calibrate(engine, alone);
    }
    std::vector<pid_t> children;
    for (int process = 0; process < 2; ++process) {
        const pid_t child = fork();
        if (child == 0) {
            CFrameEngine engine;
            for (int i = 0; i < 5; ++i) Calibrate(engine, shared);
            _exit(0);
        }
        children.push_back(child);
    }
    for (const pid_t child : children) waitpid(child, nullptr, 0);
    EXPECT_EQ(ReadBytes(shared), ReadBytes(alone));
    EXPECT_EQ(dir.Files(), (std::vector<std::string>{"alone.lut", "shared.lut"}));
}

TEST(CalibrationFiles, ALockHeldElsewhereMakesTheSecondWaitThenGiveUp) {
    TempDir dir;
    platform::CFileLock first, second;
    ASSERT_TRUE(first.Acquire(dir.Path("x.kavrel-lock"), 0));
    EXPECT_FALSE(second.Acquire(dir.Path("x.kavrel-lock"), 100));
    EXPECT_TRUE(second.TimedOut());
    first.Release();
    EXPECT_TRUE(second.Acquire(dir.Path("x.kavrel-lock"), 100));
    second.Release();
    EXPECT_TRUE(dir.Files().empty());
}

TEST(CalibrationFiles, LeftoversOfAKilledRunGoAndLongNamesStillCalibrate) {
    TempDir dir;
    const std::string lut = dir.Path("lab.lut");
    WriteBytes(lut + ".kavrel-new", {1});
    WriteBytes(lut + ".kavrel-new-0badf00d", {2});
    WriteBytes(dir.Path("other.lut.kavrel-new-0badf00d"), {3});
    CFrameEngine engine;
    Calibrate(engine, lut);
    EXPECT_EQ(dir.Files(), (std::vector<std::string>{"lab.lut", "other.lut.kavrel-new-0badf00d"}));

    // A name that leaves no room for the temporary file's suffix.
    const std::string longName = dir.Path(std::string(250, 'n'));
    Calibrate(engine, longName);
    EXPECT_EQ(ReadBytes(longName).size(), 528u);
    EXPECT_EQ(dir.Files().size(), 3u);
}

// An offset file that claims 46340 x 46340 samples, and is that long (sparsely): refused before
// 4.3 GB are allocated and read.
TEST(CalibrationFiles, AnOversizedOffsetFileIsRefusedUnread) {
    TempDir dir;
    std::vector<uint8_t> header = {'F', 'R', 'A', 'M', 'E', 0};
    PutLE32(header, 46340u * 46340u);
    PutLE32(header, 46340);
    PutLE32(header, 46340);
    WriteBytes(dir.Path("huge.frm"), header);
    fs::resize_file(dir.Path("huge.frm"), 18 + 2ull * 46340 * 46340);
    CFrame plane;
    plane.Fill(5);
    AllocationFailure counter(1 << 30);
    plane.Load(dir.Path("huge.frm"));
    EXPECT_EQ(plane.m_nCount, 1280 * 1024);
    EXPECT_EQ(counter.Allocations(), 0);
}
