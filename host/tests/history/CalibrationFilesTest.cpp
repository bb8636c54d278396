// The calibration files through kavrel-host as a hostile lab machine treats them: FIFOs, device
// nodes, links, files the user may not read, two calibrations of one file at once, outputs that
// cannot be written, oversized inputs, and the history that a calibration leaves behind.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "files/Files.h"
#include "support/HostRun.h"
#include "support/Text.h"

namespace {

namespace fs = std::filesystem;
using host_tests::CFolder;
using host_tests::CRun;
using host_tests::RunHost;
using host_tests::RunHostThrough;
using testing_support::Contains;
using testing_support::ReadBytes;
using testing_support::WriteText;

std::string Readings() {
    std::string text;
    for (int i = 0; i < 48; ++i) text += std::to_string(10 + 5 * i) + "\n";
    return text;
}

// A command that hangs on a FIFO ends here with status 124 instead of hanging the test run.
const std::vector<std::string> kTimeLimit = {"timeout", "60"};

#define EXPECT_RUN(run, status_) \
    EXPECT_EQ((run).status, status_) << "out: " << (run).out << "\nerr: " << (run).err

// A folder with readings, a LUT after one calibration and that LUT as it was before.
struct CLab {
    CFolder folder;
    std::vector<uint8_t> lut;
    CLab() {
        WriteText(folder.Path("readings.txt"), Readings());
        EXPECT_RUN(RunHost(folder, {"calc-lut", "readings.txt", "--lut", "lab.lut"}), 0);
        lut = ReadBytes(folder.Path("lab.lut"));
    }
    std::string Path(const std::string& name) const { return folder.Path(name); }
};

TEST(HostCalibrationFiles, FifosAndDevicesNeverHangACommandAndAreNeverReplaced) {
    CLab lab;
    ASSERT_EQ(mkfifo(lab.Path("fifo").c_str(), 0666), 0);
    // A character device of its own (the null device's numbers) where the system allows it,
    // else a link to the system's.
    if (mknod(lab.Path("device").c_str(), S_IFCHR | 0666, makedev(1, 3)) != 0)
        fs::create_symlink("/dev/null", lab.Path("device"));
    fs::create_directory(lab.Path("folder"));
    for (const char* special : {"fifo", "device", "folder"}) {
        const std::vector<std::vector<std::string>> commands = {
            {"calc-lut", special, "--lut", "lab.lut"},
            {"calc-lut", "readings.txt", "--lut", special},
            {"calc-offset", special, "--offset", "new.frm"},
            {"calc-offset", special, "--offset", special, "--skip-orientation-check"},
            {"expose", special},
            {"show", "--lut", special},
            {"show", "--offset", special},
            {"show", "--image", special},
            {"restore", special},
        };
        for (const std::vector<std::string>& command : commands) {
            SCOPED_TRACE(command[0] + " " + command[1] + " " + command.back());
            const CRun run = RunHostThrough(kTimeLimit, lab.folder, command);
            EXPECT_RUN(run, 1);
            EXPECT_TRUE(Contains(run.err, special)) << run.err;
        }
    }
    EXPECT_TRUE(fs::is_fifo(lab.Path("fifo")));
    EXPECT_FALSE(fs::is_regular_file(lab.Path("device")));
    EXPECT_EQ(ReadBytes(lab.Path("lab.lut")), lab.lut);
    EXPECT_FALSE(fs::exists(lab.Path("new.frm")));

    // The library's settings file as a FIFO or a link to an endless device: the defaults.
    for (const char* target : {"fifo", "/dev/zero"}) {
        CFolder settings;
        fs::create_symlink(fs::absolute(lab.Path(target)), settings.Path("kavrel.INI"));
        const CRun run = RunHostThrough(kTimeLimit, lab.folder,
                                        {"calc-lut", "readings.txt", "--lut", "other.lut", "--again"},
                                        {"KAVREL_INI_DIR=" + settings.Path()});
        EXPECT_RUN(run, 0);
    }
}

TEST(HostCalibrationFiles, AnExistingFileTheUserCannotReadIsKept) {
    CLab lab;
    // Root reads every file: the host runs as an ordinary user where the test is root.
    std::vector<std::string> user;
    if (geteuid() == 0) user = {"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"};
    fs::permissions(lab.Path(""), fs::perms::all);
    fs::permissions(lab.Path("readings.txt"), fs::perms::owner_read | fs::perms::others_read);
    fs::permissions(lab.Path("lab.lut"), fs::perms::owner_write | fs::perms::others_write);
    // The program and the library from inside the lab, which that user can reach whatever the
    // folders of the build allow.
    fs::create_directory(lab.Path("bin"));
    const fs::path library = host_tests::LibraryPath();
    fs::copy_file(KAVREL_HOST_PATH, lab.Path("bin/kavrel-host"));
    fs::copy_file(library, lab.Path("bin") + "/" + library.filename().string());
    const CRun run = RunHostThrough(user, lab.folder, {"calc-lut", "readings.txt", "--lut", "lab.lut"},
                                    {}, lab.Path("bin/kavrel-host"));
    EXPECT_RUN(run, 1);
    EXPECT_TRUE(Contains(run.err, "lab.lut: exists but cannot be read")) << run.err;
    fs::permissions(lab.Path("lab.lut"), fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(ReadBytes(lab.Path("lab.lut")), lab.lut);
}

TEST(HostCalibrationFiles, LinksAreFollowedAndPermissionsKept) {
    CLab lab;
    fs::create_directory(lab.Path("shared"));
    fs::copy_file(lab.Path("lab.lut"), lab.Path("shared/table.lut"));
    fs::permissions(lab.Path("shared/table.lut"),
                    fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    fs::create_symlink("shared/table.lut", lab.Path("link.lut"));
    // A stale link where earlier versions put their temporary file.
    WriteText(lab.Path("victim"), "keep");
    fs::create_symlink("victim", lab.Path("link.lut.kavrel-new"));
    fs::create_symlink(lab.Path("victim"), lab.Path("shared/table.lut.kavrel-new"));

    EXPECT_RUN(RunHost(lab.folder, {"calc-lut", "readings.txt", "--lut", "link.lut"}), 0);
    EXPECT_TRUE(fs::is_symlink(lab.Path("link.lut")));
    EXPECT_NE(ReadBytes(lab.Path("shared/table.lut")), lab.lut);
    EXPECT_EQ(fs::status(lab.Path("shared/table.lut")).permissions(),
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    EXPECT_EQ(ReadBytes(lab.Path("victim")), std::vector<uint8_t>({'k', 'e', 'e', 'p'}));

    // A write-protected file is kept, and the command says so.
    fs::permissions(lab.Path("lab.lut"), fs::perms::owner_read);
    const CRun run = RunHost(lab.folder, {"calc-lut", "readings.txt", "--lut", "lab.lut"});
    EXPECT_RUN(run, 1);
    EXPECT_TRUE(Contains(run.err, "lab.lut: is write-protected")) << run.err;
    EXPECT_EQ(ReadBytes(lab.Path("lab.lut")), lab.lut);
}

// Twelve pairs of calibrations of one file at once, as separate processes: each pair ends with
// both corrections applied (or one refused), exactly as two calibrations one after the other.
TEST(HostCalibrationFiles, ConcurrentCalibrationsOfOneFileLoseNoUpdate) {
    CLab lab;
    fs::copy_file(lab.Path("lab.lut"), lab.Path("once.lut"));
    EXPECT_RUN(RunHost(lab.folder, {"calc-lut", "readings.txt", "--lut", "once.lut"}), 0);
    for (int pair = 0; pair < 12; ++pair) {
        SCOPED_TRACE(pair);
        const std::string name = "pair-" + std::to_string(pair) + ".lut";
        host::WriteFileSafely(lab.Path(name), lab.lut);
        CRun first, second;
        std::thread other([&] {
            first = RunHost(lab.folder, {"calc-lut", "readings.txt", "--lut", name});
        });
        second = RunHost(lab.folder, {"calc-lut", "readings.txt", "--lut", name});
        other.join();
        // The same readings twice at once, as from a second click: whichever comes second finds
        // the table they made and is refused, instead of stacking the correction on itself.
        EXPECT_EQ(first.status + second.status, 1) << first.err << second.err;
        EXPECT_TRUE(Contains(first.err + second.err, "made this file as it is now"))
            << first.err << second.err;
        EXPECT_EQ(ReadBytes(lab.Path(name)), ReadBytes(lab.Path("once.lut")));
    }

    // Other readings that wait for another calibration say so: their correction goes on top of
    // the table the other one left.
    std::string other;
    for (int i = 0; i < 48; ++i) other += std::to_string(12 + 5 * i) + "\n";
    WriteText(lab.Path("other.txt"), other);
    const int held =
        open(lab.Path("once.lut.kavrel-host-lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    ASSERT_GE(held, 0);
    ASSERT_EQ(flock(held, LOCK_EX), 0);
    CRun waiting;
    std::thread run([&] {
        waiting = RunHost(lab.folder, {"calc-lut", "other.txt", "--lut", "once.lut"});
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    close(held);
    run.join();
    EXPECT_RUN(waiting, 0);
    EXPECT_TRUE(Contains(waiting.err, "once.lut: waited for another calibration or restore of "
                                      "this file to end"))
        << waiting.err;
    EXPECT_TRUE(Contains(waiting.err, "its correction goes on top of the other's")) << waiting.err;
    for (const auto& entry : fs::directory_iterator(lab.Path("")))
        EXPECT_FALSE(Contains(entry.path().filename().string(), ".kavrel-")) << entry.path();
}

TEST(HostCalibrationFiles, AnUnwritableOutputIsFoundBeforeTheCalibration) {
    CLab lab;
    fs::create_directory(lab.Path("taken.svg"));
    for (const char* plot : {"missing/plot.svg", "taken.svg"}) {
        const CRun run =
            RunHost(lab.folder, {"calc-lut", "readings.txt", "--lut", "lab.lut", "--plot", plot});
        EXPECT_RUN(run, 1);
        EXPECT_TRUE(Contains(run.err, plot)) << run.err;
        EXPECT_EQ(ReadBytes(lab.Path("lab.lut")), lab.lut);
    }
    const CRun run = RunHostThrough(kTimeLimit, lab.folder,
                                    {"calc-offset", "readings.txt", "--offset", "new.frm", "--map",
                                     "missing/map.bmp", "--skip-orientation-check"});
    EXPECT_RUN(run, 1);
    EXPECT_TRUE(Contains(run.err, "missing/map.bmp")) << run.err;
    // The refused calibrations kept nothing in the history (the first one had no file to keep).
    EXPECT_TRUE(Contains(RunHost(lab.folder, {"history", "lab.lut"}).out, "no earlier versions"));
}

TEST(HostCalibrationFiles, NamesTooLongForTheSystemAreNamedAsSuch) {
    CLab lab;
    // One name past the 255 characters a file system takes: not a lock held elsewhere, nor an
    // unwritable file.
    const std::string tooLong = std::string(300, 'x');
    for (const std::vector<std::string>& command :
         {std::vector<std::string>{"calc-lut", "readings.txt", "--lut", tooLong + ".lut"},
          std::vector<std::string>{"calc-lut", "readings.txt", "--lut", "lab.lut", "--plot",
                                   tooLong + ".svg"}}) {
        SCOPED_TRACE(command.back());
        const CRun run = RunHost(lab.folder, command);
        EXPECT_RUN(run, 1);
        EXPECT_TRUE(Contains(run.err, "the path is too long for the system")) << run.err;
    }
    EXPECT_EQ(ReadBytes(lab.Path("lab.lut")), lab.lut);
}

TEST(HostCalibrationFiles, OversizedInputsAreRefusedUnread) {
    CLab lab;
    // Sparse files: their size costs no disk, reading them would take minutes.
    fs::copy_file(lab.Path("readings.txt"), lab.Path("huge.txt"));
    fs::resize_file(lab.Path("huge.txt"), 50ull << 30);
    fs::copy_file(lab.Path("lab.lut"), lab.Path("huge.lut"));
    fs::resize_file(lab.Path("huge.lut"), 4ull << 30);
    for (const std::vector<std::string>& command :
         {std::vector<std::string>{"calc-lut", "huge.txt", "--lut", "lab.lut"},
          std::vector<std::string>{"calc-lut", "readings.txt", "--lut", "huge.lut"},
          std::vector<std::string>{"show", "--lut", "huge.lut"}}) {
        SCOPED_TRACE(command[1]);
        const CRun run = RunHostThrough(kTimeLimit, lab.folder, command);
        EXPECT_RUN(run, 1);
        EXPECT_TRUE(Contains(run.err, "larger than such a file can be")) << run.err;
    }
    EXPECT_EQ(ReadBytes(lab.Path("lab.lut")), lab.lut);
}

TEST(HostCalibrationFiles, HistoryKeepsEarlierVersionsAndRestorePutsThemBack) {
    CLab lab;
    const std::vector<uint8_t> first = lab.lut;
    // What killed runs of the library and of the host left behind goes with the next calibration.
    WriteText(lab.Path("lab.lut.kavrel-new-0badf00d"), "x");
    WriteText(lab.Path("lab.lut.kavrel-host-0badf00d"), "x");
    EXPECT_RUN(RunHost(lab.folder, {"calc-lut", "readings.txt", "--lut", "lab.lut", "--again"}), 0);
    EXPECT_FALSE(fs::exists(lab.Path("lab.lut.kavrel-new-0badf00d")));
    EXPECT_FALSE(fs::exists(lab.Path("lab.lut.kavrel-host-0badf00d")));
    const std::vector<uint8_t> second = ReadBytes(lab.Path("lab.lut"));
    ASSERT_NE(second, first);

    CRun run = RunHost(lab.folder, {"history", "lab.lut"});
    EXPECT_RUN(run, 0);
    EXPECT_TRUE(Contains(run.out, "lab.lut: 1 earlier version in lab.lut.history")) << run.out;
    // A LUT's own summary: its entries at a few inputs and the readings that made it.
    EXPECT_TRUE(Contains(run.out, "LUTs with their entries at a few inputs")) << run.out;
    EXPECT_FALSE(Contains(run.out, "offset maps")) << run.out;
    EXPECT_TRUE(Contains(run.out, "  now  0 -> 4095, 64 -> ")) << run.out;
    EXPECT_TRUE(Contains(run.out, "  made from readings.txt at ")) << run.out;

    // The table from before the last calibration; the table it replaced becomes version 1, so a
    // second restore undoes the first.
    run = RunHost(lab.folder, {"restore", "lab.lut"});
    EXPECT_RUN(run, 0);
    EXPECT_EQ(ReadBytes(lab.Path("lab.lut")), first);
    run = RunHost(lab.folder, {"history", "lab.lut"});
    EXPECT_TRUE(Contains(run.out, "same as now  " + std::string("lab.lut.history/"))) << run.out;
    EXPECT_RUN(RunHost(lab.folder, {"restore", "lab.lut"}), 0);
    EXPECT_EQ(ReadBytes(lab.Path("lab.lut")), second);
    // A run killed after it kept the file and before it replaced it left a copy of the file as it
    // is: the next calibration or restore drops it, so that restore brings back the version before.
    const std::vector<uint8_t> now = ReadBytes(lab.Path("lab.lut"));
    fs::copy_file(lab.Path("lab.lut"), lab.Path("lab.lut.history/29991231-235959-999.lut"));
    EXPECT_RUN(RunHost(lab.folder, {"restore", "lab.lut"}), 0);
    EXPECT_NE(ReadBytes(lab.Path("lab.lut")), now);
    EXPECT_FALSE(fs::exists(lab.Path("lab.lut.history/29991231-235959-999.lut")));
    EXPECT_RUN(RunHost(lab.folder, {"restore", "lab.lut"}), 0);
    EXPECT_EQ(ReadBytes(lab.Path("lab.lut")), now);

    EXPECT_RUN(RunHost(lab.folder, {"restore", "lab.lut", "9"}), 1);
    EXPECT_RUN(RunHost(lab.folder, {"restore", "lab.lut", "x"}), 2);
    EXPECT_RUN(RunHost(lab.folder, {"restore", "new.lut"}), 1);
    // A mistyped name is no file without a history, but a file that is gone keeps its history.
    run = RunHost(lab.folder, {"history", "new.lut"});
    EXPECT_RUN(run, 1);
    EXPECT_TRUE(Contains(run.err, "new.lut: no such file, and no earlier versions kept")) << run.err;
    fs::rename(lab.Path("lab.lut"), lab.Path("gone.lut"));
    run = RunHost(lab.folder, {"history", "lab.lut"});
    EXPECT_RUN(run, 0);
    EXPECT_TRUE(Contains(run.out, "  now  no such file (deleted or moved; 'restore lab.lut' puts "
                                  "version 1 back)"))
        << run.out;
    EXPECT_RUN(RunHost(lab.folder, {"restore", "lab.lut"}), 0);
    EXPECT_EQ(ReadBytes(lab.Path("lab.lut")), first);

    // Only the newest versions stay.
    for (int i = 0; i < 12; ++i)
        EXPECT_RUN(RunHost(lab.folder, {"calc-lut", "readings.txt", "--lut", "lab.lut", "--again"}), 0);
    run = RunHost(lab.folder, {"history", "lab.lut"});
    EXPECT_TRUE(Contains(run.out, "10 earlier versions")) << run.out;
}

// Every state in which a save of a version into the history folder can be cut off (killed or
// without power): the temporary file empty, half-written or complete but not yet renamed. None of
// them is listed or restored as a version, and the next calibration removes them; a file of the
// user's own in the folder stays.
TEST(HostCalibrationFiles, AVersionCutOffWhileKeptIsNeverListed) {
    CLab lab;
    EXPECT_RUN(RunHost(lab.folder, {"calc-lut", "readings.txt", "--lut", "lab.lut", "--again"}), 0);
    const std::string stamp = "29991231-235959-999.lut";
    std::vector<std::string> leftovers;
    for (size_t length : {size_t{0}, size_t{1}, lab.lut.size() / 2, lab.lut.size()}) {
        const std::string name = stamp + ".kavrel-new-" + std::string(7, '0') +
                                 std::to_string(leftovers.size());
        std::ofstream(lab.Path("lab.lut.history/" + name), std::ios::binary)
            .write(reinterpret_cast<const char*>(lab.lut.data()),
                   static_cast<std::streamsize>(length));
        leftovers.push_back(name);
    }
    WriteText(lab.Path("lab.lut.history/" + stamp + ".kavrel-new"), "x");  // the older fixed name
    leftovers.push_back(stamp + ".kavrel-new");
    WriteText(lab.Path("lab.lut.history/notes.txt"), "kept by hand");
    WriteText(lab.Path("lab.lut.history/" + stamp + ".bak"), "kept by hand");

    CRun run = RunHost(lab.folder, {"history", "lab.lut"});
    EXPECT_RUN(run, 0);
    EXPECT_TRUE(Contains(run.out, "lab.lut: 1 earlier version in")) << run.out;
    EXPECT_FALSE(Contains(run.out, "kavrel-new")) << run.out;
    EXPECT_RUN(RunHost(lab.folder, {"restore", "lab.lut"}), 0);
    EXPECT_EQ(ReadBytes(lab.Path("lab.lut")), lab.lut);
    for (const std::string& leftover : leftovers)
        EXPECT_FALSE(fs::exists(lab.Path("lab.lut.history/" + leftover))) << leftover;
    EXPECT_TRUE(fs::exists(lab.Path("lab.lut.history/notes.txt")));
    EXPECT_TRUE(fs::exists(lab.Path("lab.lut.history/" + stamp + ".bak")));
}

// The host says which table the frames are computed with, by the library's own rules.
TEST(HostCalibrationFiles, TheTableInForceIsNamedByTheLibrarysRules) {
    CFolder folder;
    host::CLutTable big;
    big.lastInput = 299;
    big.entries.assign(300, 100);
    host::WriteFileSafely(folder.Path("big.lut"), host::LutFileBytes(big));
    CRun run = RunHost(folder, {"show", "--lut", "big.lut"});
    EXPECT_RUN(run, 0);
    EXPECT_TRUE(Contains(run.out, "it uses its default table")) << run.out;
    run = RunHost(folder, {"show"});
    EXPECT_TRUE(Contains(run.out, "LUT: none set: the library's default table")) << run.out;
    EXPECT_RUN(RunHost(folder, {"sample-image", "image.bmp"}), 0);
    run = RunHost(folder, {"expose", "image.bmp", "--lut", "big.lut"});
    EXPECT_RUN(run, 1);
    EXPECT_TRUE(Contains(run.err, "big.lut: a LUT of 300 entries")) << run.err;
}

}  // namespace
