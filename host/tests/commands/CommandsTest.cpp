// Every command of kavrel-host run end to end, as a user types it, on small real files.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "files/Files.h"
#include "pictures/Bitmap.h"
#include "pictures/Targets.h"
#include "support/HostRun.h"
#include "support/PrintSimulation.h"
#include "support/Text.h"

namespace {

using host_tests::CFolder;
using host_tests::CRun;
using host_tests::RunHost;
using testing_support::Contains;
using testing_support::ReadBytes;
using testing_support::WriteText;

int DefaultTable(int input) { return (255 - input) * 4095 / 255; }

#define EXPECT_RUN(run, status_) \
    EXPECT_EQ((run).status, status_) << "out: " << (run).out << "\nerr: " << (run).err

TEST(HostCommandLine, HelpUsageErrorsAndLibrary) {
    CFolder folder;
    CRun run = RunHost(folder, {});
    EXPECT_RUN(run, 2);
    EXPECT_TRUE(Contains(run.err, "commands:"));
    run = RunHost(folder, {"--help"});
    EXPECT_RUN(run, 0);
    for (const char* command :
         {"expose", "calc-lut", "calc-offset", "targets", "sample-image", "show"}) {
        EXPECT_TRUE(Contains(run.out, command)) << command;
        for (const std::vector<std::string>& asked :
             {std::vector<std::string>{command, "--help"}, {"help", command}}) {
            const CRun help = RunHost(folder, asked);
            EXPECT_RUN(help, 0);
            EXPECT_TRUE(Contains(help.out, std::string("usage: kavrel-host ") + command))
                << help.out;
        }
    }
    for (const char* asked : {"-h", "/?", "-?", "/h", "help"}) {
        run = RunHost(folder, {asked});
        EXPECT_RUN(run, 0);
        EXPECT_TRUE(Contains(run.out, "commands:")) << asked;
        if (std::string(asked) == "help") continue;
        run = RunHost(folder, {"expose", asked});
        EXPECT_RUN(run, 0);
        EXPECT_TRUE(Contains(run.out, "usage: kavrel-host expose")) << asked;
    }
    // The host's version, and the library it would load.
    for (const char* asked : {"--version", "-v", "/v"}) {
        run = RunHost(folder, {asked, "--library", host_tests::LibraryPath()});
        EXPECT_RUN(run, 0);
        EXPECT_TRUE(Contains(run.out, "kavrel-host 1.")) << run.out;
        EXPECT_TRUE(Contains(run.out, std::string("library: ") + host_tests::LibraryPath()))
            << run.out;
    }
    // A library named without a folder is the one in the current folder.
    std::filesystem::copy_file(host_tests::LibraryPath(), folder.Path("libkavrel.so"));
    EXPECT_RUN(RunHost(folder, {"show", "--library", "libkavrel.so"}), 0);
    std::filesystem::create_directory(folder.Path("libs"));
    struct CCase {
        std::vector<std::string> args;
        int status;
        std::string message;
    } cases[] = {
        {{"develop"}, 2, "unknown command 'develop'"},
        {{"targets", "--colour", "1"}, 2, "unknown option --colour"},
        {{"targets", "--field"}, 2, "--field needs a value"},
        {{"targets", "--field", "300"},
         2,
         "--field must be a whole number from 1 to 250, not '300'"},
        {{"targets", "--field", "12x"}, 2, "not '12x'"},
        {{"expose"}, 2, "missing argument"},
        {{"expose", "a.bmp", "b.bmp"}, 2, "unexpected argument 'b.bmp'"},
        {{"expose", "a.bmp", "--seconds", "-1"}, 2, "--seconds must be a number from 0 to 86400"},
        {{"expose", "a.bmp", "--out", "x", "--device", "file:y.bmp"},
         2,
         "either --device or --out"},
        {{"calc-lut", "r.txt"}, 2, "--lut FILE is required"},
        // Pictures are written in one format each, whatever the name says.
        {{"calc-lut", "r.txt", "--lut", "t.lut", "--plot", "plot.png"},
         2,
         "--plot plot.png: the file is written as .svg, not as .png"},
        {{"calc-offset", "s.bmp", "--offset", "o.frm", "--map", "map.jpg"},
         2,
         "--map map.jpg: the file is written as .bmp, not as .jpg"},
        {{"sample-image", "sample.png"}, 2, "the file is written as .bmp, not as .png"},
        {{"show", "--library", "no-such-library.so"},
         1,
         "cannot load the library no-such-library.so: "},
        {{"show", "--library", "libs"},
         1,
         "the library libs is a folder; give the library file in it (libkavrel.so)"},
    };
    for (const CCase& c : cases) {
        run = RunHost(folder, c.args);
        EXPECT_RUN(run, c.status);
        EXPECT_TRUE(Contains(run.err, c.message)) << run.err;
        // One line.
        EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
        // No hint to give --library to one who gave it.
        EXPECT_FALSE(Contains(run.err, "give its path with --library")) << run.err;
    }
}

TEST(HostTargets, WritesBothTargetsAndTheSampleImage) {
    CFolder folder;
    CRun run = RunHost(folder, {"targets", "--out", "t"});
    EXPECT_RUN(run, 0);
    EXPECT_TRUE(Contains(run.out, "t/grey-scale.bmp")) << run.out;
    run = RunHost(folder, {"sample-image", "sample.bmp"});
    EXPECT_RUN(run, 0);
    for (const char* name : {"t/grey-scale.bmp", "t/offset-pattern.bmp", "sample.bmp"}) {
        const host::CPicture picture = host::ReadBitmap(folder.Path(name));
        EXPECT_EQ(picture.Width(), 2560) << name;
        EXPECT_EQ(picture.Height(), 2048) << name;
    }
    // The pattern's field level is the one asked for; no temporary file is left behind; a folder
    // given with a trailing separator gives paths with one separator.
    run = RunHost(folder, {"targets", "--out", "t/", "--field", "100"});
    EXPECT_RUN(run, 0);
    EXPECT_TRUE(Contains(run.out, "\nt/offset-pattern.bmp: offset test pattern, field 100"))
        << run.out;
    EXPECT_EQ(host::ReadBitmap(folder.Path("t/offset-pattern.bmp")).Pixel(1000, 1000)[1], 100);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.Path("t")),
                            std::filesystem::directory_iterator()),
              2);
    // An output in a folder that cannot be made.
    WriteText(folder.Path("file"), "x");
    run = RunHost(folder, {"targets", "--out", "file/t"});
    EXPECT_RUN(run, 1);
    EXPECT_TRUE(Contains(run.err, "file/t: cannot create this folder")) << run.err;
}

// Every command that writes into a folder it does not make names a missing one in the same
// words, before it waits on a lock or writes anything.
TEST(HostCommandLine, AMissingFolderIsNamedAlike) {
    CFolder folder;
    struct CCase {
        std::vector<std::string> args;
        std::string message;
    } cases[] = {
        {{"sample-image", "none/s.bmp"},
         "none/s.bmp: the folder none does not exist (sample-image)"},
        {{"restore", "none/lab.lut"}, "none/lab.lut: the folder none does not exist (restore)"},
    };
    for (const CCase& c : cases) {
        const CRun run = RunHost(folder, c.args);
        EXPECT_RUN(run, 1);
        EXPECT_TRUE(Contains(run.err, c.message)) << run.err;
        EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
    }
}

TEST(HostShow, PrintsWhatTheLibraryHolds) {
    CFolder folder;
    ASSERT_EQ(RunHost(folder, {"sample-image", "s.bmp"}).status, 0);
    WriteText(folder.Path("bad.lut"), "not a table");
    CRun run = RunHost(folder, {"show", "--device", "file:x-%d.bmp", "--lut", "none.lut", "--color",
                                "2", "--image", "s.bmp"});
    EXPECT_RUN(run, 0);
    EXPECT_TRUE(Contains(run.out,
                         "device name: file:x-%d.bmp\nLUT file: none.lut\noffset file: \n"
                         "color = 2\n"))
        << run.out;
    EXPECT_TRUE(Contains(run.out, "LUT: no such file: the library uses its default table"));
    EXPECT_TRUE(Contains(run.out, "image: s.bmp: loaded\n"));
    // The library takes its default table from a file that is no table, as the report says; a
    // missing offset file and a display that does not exist fail after the whole report.
    run = RunHost(folder, {"show", "--lut", "bad.lut"});
    EXPECT_RUN(run, 0);
    EXPECT_TRUE(Contains(run.out,
                         "LUT: bad.lut: not a LUT file (shorter than the 16 bytes of its "
                         "header): the library uses its default table"))
        << run.out;
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"--offset", "missing.frm"}, {"--device", ":57"}}) {
        std::vector<std::string> show = {"show", "--lut", "bad.lut"};
        show.insert(show.end(), args.begin(), args.end());
        run = RunHost(folder, show);
        EXPECT_RUN(run, 1);
        EXPECT_TRUE(Contains(run.out, "\nLUT: bad.lut: not a LUT file")) << run.out;
        EXPECT_EQ(run.out.back(), '\n') << run.out;
        EXPECT_TRUE(Contains(run.err, args[1] + ": ")) << run.err;
        EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
    }
    run = RunHost(folder, {"show", "--image", "bad.lut"});
    EXPECT_RUN(run, 1);
    EXPECT_TRUE(Contains(run.err, "bad.lut: cannot be opened or is not a bitmap file")) << run.err;
}

TEST(HostExpose, TwelveFramesInTheDocumentedOrderOntoTheFileDisplay) {
    CFolder folder;
    ASSERT_EQ(RunHost(folder, {"sample-image", "sample.bmp"}).status, 0);
    CRun run = RunHost(folder, {"expose", "sample.bmp", "--out", "shown"});
    EXPECT_RUN(run, 0);
    EXPECT_TRUE(Contains(run.out, "frame 12/12  colour 2 (red  )  position 3 (lower left )"))
        << run.out;
    EXPECT_TRUE(Contains(run.out, "shown 12 of 12 frames")) << run.out;
    EXPECT_TRUE(Contains(run.out, "display pictures: shown/frame-00.bmp .. shown/frame-11.bmp"));
    // Frame n is colour n / 4 at position n % 4, through the default table.
    const host::CPicture image = host::ReadBitmap(folder.Path("sample.bmp"));
    const int dx[4] = {0, 1, 1, 0}, dy[4] = {0, 0, 1, 1};  // picture rows counted from the top
    for (int n = 0; n < 12; ++n) {
        char name[32];
        std::snprintf(name, sizeof name, "shown/frame-%02d.bmp", n);
        const simulation::CExposure shown =
            simulation::UnpackDisplayPicture(host::ReadBitmap(folder.Path(name)));
        int wrong = 0;
        for (int line = 0; line < 1024; ++line)
            for (int column = 0; column < 1280; ++column) {
                const int value = image.Pixel(2 * column + dx[n % 4], 2 * line + dy[n % 4])[n / 4];
                wrong += shown[line * 1280 + column] != DefaultTable(value);
            }
        EXPECT_EQ(wrong, 0) << name;
    }
}

TEST(HostExpose, BlankFramesLutOffsetAndBadInput) {
    CFolder folder;
    ASSERT_EQ(RunHost(folder, {"sample-image", "sample.bmp"}).status, 0);
    // A table that keeps every value and an offset map of +100 everywhere.
    host::CLutTable keep;
    keep.lastInput = 255;
    for (int i = 0; i < 256; ++i) keep.entries.push_back(static_cast<int16_t>(i));
    host::WriteFileSafely(folder.Path("keep.lut"), host::LutFileBytes(keep));
    host::COffsetMap plus;
    plus.width = 1280;
    plus.height = 1024;
    plus.samples.assign(1280 * 1024, 100);
    host::WriteFileSafely(folder.Path("plus.frm"), host::OffsetFileBytes(plus));
    CRun run =
        RunHost(folder, {"expose", "sample.bmp", "--device", "file:d-%02d.bmp", "--lut", "keep.lut",
                         "--offset", "plus.frm", "--blank", "7", "--seconds", "0.01"});
    EXPECT_RUN(run, 0);
    EXPECT_TRUE(Contains(run.out, "blank 7 -> d-23.bmp")) << run.out;
    // A file display has no refreshes: the report says that its times are approximate.
    EXPECT_TRUE(Contains(run.out, "each frame 1 refresh = 16.67 ms (0.01 s asked)")) << run.out;
    EXPECT_TRUE(Contains(run.out, "times approximate: a file display has no refreshes")) << run.out;
    EXPECT_TRUE(Contains(run.out, "timing: approximate")) << run.out;
    const host::CPicture image = host::ReadBitmap(folder.Path("sample.bmp"));
    const simulation::CExposure first =
        simulation::UnpackDisplayPicture(host::ReadBitmap(folder.Path("d-00.bmp")));
    EXPECT_EQ(first[0], image.Pixel(0, 0)[0] + 100);
    EXPECT_EQ(first[1023 * 1280 + 1279], image.Pixel(2558, 2046)[0] + 100);
    const simulation::CExposure blank =
        simulation::UnpackDisplayPicture(host::ReadBitmap(folder.Path("d-01.bmp")));
    EXPECT_EQ(std::count(blank.begin(), blank.end(), 7), 1280 * 1024);
    // A run without blank frames leaves no pictures of the earlier run beside its own.
    EXPECT_RUN(RunHost(folder, {"expose", "sample.bmp", "--device", "file:d-%02d.bmp"}), 0);
    EXPECT_TRUE(host::FileExists(folder.Path("d-11.bmp")));
    EXPECT_FALSE(host::FileExists(folder.Path("d-12.bmp")));
    EXPECT_FALSE(host::FileExists(folder.Path("d-23.bmp")));

    // Bad input: one line naming the file, no display pictures.
    WriteText(folder.Path("text.bmp"), "hello");
    const std::vector<uint8_t> whole = ReadBytes(folder.Path("sample.bmp"));
    host::WriteFileSafely(folder.Path("short.bmp"),
                          std::vector<uint8_t>(whole.begin(), whole.end() - 3000));
    host::WriteFileSafely(folder.Path("lab.lut"), host::LutFileBytes(host::DefaultLutTable()));
    host::WriteFileSafely(folder.Path("tiny.frm"), host::OffsetFileBytes({2, 2, {0, 0, 0, 0}}));
    plus.width = 1000;
    plus.samples.resize(1000 * 1024);
    host::WriteFileSafely(folder.Path("narrow.frm"), host::OffsetFileBytes(plus));
    const std::string device = "file:bad-%d.bmp";
    struct CCase {
        std::vector<std::string> args;
        std::string message;
    } cases[] = {
        {{"missing.bmp", "--device", device}, "missing.bmp: no such file"},
        // Not a bitmap, and (where the host reads photos) no image of another format.
        {{"text.bmp", "--device", device}, "text.bmp: not a"},
        {{"sample.bmp", "--device", device, "--lut", "missing.lut"},
         "missing.lut: no such file (--lut)"},
        {{"sample.bmp", "--device", device, "--lut", "text.bmp"}, "text.bmp: not a LUT file"},
        {{"sample.bmp", "--device", device, "--offset", "narrow.frm"},
         "narrow.frm: an offset map of 1000 x 1024 samples"},
        {{"sample.bmp", "--device", "file:no-folder/x-%d.bmp"},
         "no-folder/x-0.bmp: the folder no-folder does not exist (--device)"},
        // Each file named for what it is, not by the sizes its bytes make in another format.
        {{"short.bmp", "--device", device}, "short.bmp: bitmap cut short"},
        {{"sample.bmp", "--device", device, "--offset", "lab.lut"},
         "lab.lut: not an offset file, but a LUT file (--lut)"},
        {{"sample.bmp", "--device", device, "--lut", "tiny.frm"},
         "tiny.frm: not a LUT file, but an offset file (--offset)"},
        {{"sample.bmp", "--device", device, "--offset", "sample.bmp"},
         "sample.bmp: not an offset file, but a bitmap"},
        {{"sample.bmp", "--out", "text.bmp"}, "text.bmp: is a file, not a folder"},
    };
    for (const CCase& c : cases) {
        std::vector<std::string> args = {"expose"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        run = RunHost(folder, args);
        EXPECT_RUN(run, 1);
        EXPECT_TRUE(Contains(run.err, c.message)) << run.err;
        EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
        EXPECT_FALSE(host::FileExists(folder.Path("bad-0.bmp")));
    }
}

#ifdef KAVREL_WITHOUT_PHOTOS
// A build without photo input takes frame-size bitmaps as ever and says why it refuses any other
// image.
TEST(HostExpose, ABuildWithoutPhotoInputSaysSo) {
    CFolder folder;
    ASSERT_EQ(RunHost(folder, {"sample-image", "sample.bmp"}).status, 0);
    EXPECT_RUN(RunHost(folder, {"prepare", "sample.bmp", "--out", "same.bmp"}), 0);
    EXPECT_EQ(ReadBytes(folder.Path("same.bmp")), ReadBytes(folder.Path("sample.bmp")));
    host::WriteBitmap(folder.Path("small.bmp"), host::CPicture(640, 480));
    for (const char* command : {"expose", "prepare"}) {
        const CRun run = RunHost(folder, {command, "small.bmp", "--out", "out.bmp"});
        EXPECT_RUN(run, 1);
        EXPECT_TRUE(Contains(run.err, "small.bmp: a 640 x 480 bitmap of 24 bits per pixel"))
            << run.err;
        EXPECT_TRUE(Contains(run.err, "it was built without photo input")) << run.err;
        EXPECT_FALSE(std::filesystem::exists(folder.Path("out.bmp")));
    }
}
#endif

std::string Readings(int reference, int step, int count = 48, const std::string& separator = "\n") {
    std::string text;
    for (int r = 0; r < count; ++r)
        text += std::to_string(r == 0 || r == 47 ? reference : reference + step * r) + separator;
    return text;
}

TEST(HostCalcLut, NewTableFromReadingsWithPlot) {
    CFolder folder;
    WriteText(folder.Path("readings.txt"), Readings(10, 5));
    CRun run =
        RunHost(folder, {"calc-lut", "readings.txt", "--lut", "lab.lut", "--plot", "lut.svg"});
    EXPECT_RUN(run, 0);
    EXPECT_TRUE(Contains(run.out, "before: the library's default table (no lab.lut yet)"))
        << run.out;
    const host::CLutTable table = host::ParseLutFile("lab.lut", ReadBytes(folder.Path("lab.lut")));
    ASSERT_EQ(table.entries.size(), 256u);
    EXPECT_EQ(table.entries[0], 4095);
    EXPECT_EQ(table.entries[64], 1846);
    EXPECT_EQ(table.entries[128], 674);
    EXPECT_EQ(table.entries[255], 0);
    EXPECT_TRUE(Contains(run.out, "after:  lab.lut: 0 -> 4095, 64 -> 1846, 128 -> 674")) << run.out;
    const std::vector<uint8_t> svg = ReadBytes(folder.Path("lut.svg"));
    const std::string plot(svg.begin(), svg.end());
    EXPECT_EQ(plot.compare(0, 4, "<svg"), 0);
    EXPECT_EQ(std::count(plot.begin(), plot.end(), '\n') > 10, true);
    EXPECT_TRUE(Contains(plot, "polyline"));

    // The readings against the aim that the gamma sets, below the tables.
    EXPECT_TRUE(Contains(plot, "Readings of readings.txt against the aim of gamma 1.80")) << plot;
    EXPECT_TRUE(Contains(plot, "aim: gamma 1.80 from the reference 0.10")) << plot;
    EXPECT_TRUE(Contains(plot, "density (top of the axis: 3.50)")) << plot;

    // The same readings as a CSV of densities, without the unused last reading, with a comment:
    // the same readings however written, so refused on the table they made; with --again the
    // library calibrates the table it wrote once more.
    std::string csv = "# grey scale, densities\n0.10";
    for (int r = 1; r <= 46; ++r)
        csv += (r % 8 == 0 ? ",\r\n" : ", ") + std::to_string((10 + 5 * r) / 100.0);
    WriteText(folder.Path("readings.csv"), csv + "\n");
    run = RunHost(folder, {"calc-lut", "readings.csv", "--lut", "lab.lut", "--density"});
    EXPECT_RUN(run, 1);
    EXPECT_TRUE(Contains(run.err, "lab.lut: the readings readings.csv made this file as it is now, "
                                  "applied at "))
        << run.err;
    EXPECT_TRUE(Contains(run.err, " from readings.txt; ")) << run.err;
    EXPECT_EQ(ReadBytes(folder.Path("lab.lut")), host::LutFileBytes(table));
    run = RunHost(folder, {"calc-lut", "readings.csv", "--lut", "lab.lut", "--density", "--again"});
    EXPECT_RUN(run, 0);
    EXPECT_TRUE(Contains(run.out, "before: lab.lut: 0 -> 4095, 64 -> 1846")) << run.out;
    EXPECT_NE(ReadBytes(folder.Path("lab.lut")), host::LutFileBytes(table));
}

TEST(HostCalcLut, BadReadingsNameFileAndLineAndLeaveTheTable) {
    CFolder folder;
    WriteText(folder.Path("good.txt"), Readings(10, 5));
    ASSERT_EQ(RunHost(folder, {"calc-lut", "good.txt", "--lut", "lab.lut"}).status, 0);
    const std::vector<uint8_t> before = ReadBytes(folder.Path("lab.lut"));
    WriteText(folder.Path("short.txt"), Readings(10, 5, 45));
    WriteText(folder.Path("long.txt"), Readings(10, 5, 49));
    WriteText(folder.Path("word.txt"), "10\n15\nabc\n");
    WriteText(folder.Path("point.txt"), "10, 1.5\n");
    WriteText(folder.Path("negative.txt"), "10\n\n-3\n");
    WriteText(folder.Path("bad.lut"), "LUTFILE");
    struct CCase {
        std::vector<std::string> args;
        std::string message;
    } cases[] = {
        {{"short.txt", "--lut", "lab.lut"}, "short.txt: 45 readings; 48 are needed"},
        {{"long.txt", "--lut", "lab.lut"}, "long.txt line 49: more than 48 readings"},
        {{"word.txt", "--lut", "lab.lut"}, "word.txt line 3: 'abc' is not a number"},
        {{"point.txt", "--lut", "lab.lut"},
         "point.txt line 1: '1.5' is not a whole number of hundredths"},
        {{"negative.txt", "--lut", "lab.lut"}, "negative.txt line 3: reading -3 is out of range"},
        {{"missing.txt", "--lut", "lab.lut"}, "missing.txt: no such file (readings)"},
        {{"good.txt", "--lut", "bad.lut"}, "bad.lut: not a LUT file"},
        {{"good.txt", "--lut", "none/lab.lut"}, "none/lab.lut: the folder none does not exist"},
    };
    for (const CCase& c : cases) {
        std::vector<std::string> args = {"calc-lut"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const CRun run = RunHost(folder, args);
        EXPECT_RUN(run, 1);
        EXPECT_TRUE(Contains(run.err, c.message)) << run.err;
        EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
    }
    EXPECT_EQ(ReadBytes(folder.Path("lab.lut")), before);

    // The library writes nothing with a Gamma of 0; the host says so.
    WriteText(folder.Path("kavrel.INI"), "[Imaging]\nGamma=0\n");
    const CRun run = RunHost(folder, {"calc-lut", "good.txt", "--lut", "lab.lut", "--again"},
                             {"KAVREL_INI_DIR=" + folder.Path()});
    EXPECT_RUN(run, 1);
    EXPECT_TRUE(Contains(run.err, "lab.lut: the library wrote no new table")) << run.err;
    EXPECT_EQ(ReadBytes(folder.Path("lab.lut")), before);
    // The copy kept for it went again.
    EXPECT_TRUE(Contains(RunHost(folder, {"history", "lab.lut"}).out, "no earlier versions"));
}

// A reading typed ten times too large is refused with the patch named and the table kept byte for
// byte; the same readings from a densitometer's CGATS export give the table that the plain
// readings give, byte for byte.
TEST(HostCalcLut, AMistypedReadingIsRefusedAndACgatsExportGivesThePlainTable) {
    CFolder folder;
    WriteText(folder.Path("good.txt"), Readings(10, 5));
    ASSERT_EQ(RunHost(folder, {"calc-lut", "good.txt", "--lut", "plain.lut"}).status, 0);
    ASSERT_EQ(RunHost(folder, {"calc-lut", "good.txt", "--lut", "lab.lut"}).status, 0);
    const std::vector<uint8_t> before = ReadBytes(folder.Path("lab.lut"));
    std::string typo = Readings(10, 5);
    typo.replace(typo.find("\n110\n") + 1, 3, "1100");  // patch 20
    WriteText(folder.Path("typo.txt"), typo);
    CRun run = RunHost(folder, {"calc-lut", "typo.txt", "--lut", "lab.lut"});
    EXPECT_RUN(run, 1);
    EXPECT_TRUE(Contains(run.err, "typo.txt: patch 20 (line 21) reads 1100 hundredths, above 900 "
                                  "(9.00), "
                                  "which the library reads as a negative density: ten times too "
                                  "large: 110 typed with a digit too many?"))
        << run.err;
    EXPECT_EQ(ReadBytes(folder.Path("lab.lut")), before);
    EXPECT_TRUE(Contains(RunHost(folder, {"history", "lab.lut"}).out, "no earlier versions"));

    std::string cgats =
        "CGATS.17\nBEGIN_DATA_FORMAT\nSAMPLE_ID D_VIS\nEND_DATA_FORMAT\n"
        "NUMBER_OF_SETS 48\nBEGIN_DATA\n";
    std::istringstream plain(Readings(10, 5));
    int id = 0;
    for (std::string line; std::getline(plain, line); ++id) {
        const int h = std::stoi(line);
        cgats += std::to_string(id) + "\t" + std::to_string(h / 100) + "." +
                 std::to_string(100 + h % 100).substr(1) + "\n";
    }
    WriteText(folder.Path("readings.cgats"), cgats + "END_DATA\n");
    run = RunHost(folder, {"calc-lut", "readings.cgats", "--lut", "cgats.lut"});
    EXPECT_RUN(run, 0);
    EXPECT_TRUE(Contains(run.out,
                         "readings: readings.cgats (CGATS column D_VIS (densities)): "
                         "reference 0.10, patches 0.15 (value 252) .. 2.40 (value 4)"))
        << run.out;
    EXPECT_EQ(ReadBytes(folder.Path("cgats.lut")), ReadBytes(folder.Path("plain.lut")));
}

// A CGATS table of the grey scale's densities in three columns, each colour's scale its own.
std::string ColourCgats() {
    std::string cgats =
        "CGATS.17\nBEGIN_DATA_FORMAT\nSAMPLE_ID D_RED D_GREEN D_BLUE\n"
        "END_DATA_FORMAT\nNUMBER_OF_SETS 48\nBEGIN_DATA\n";
    for (int id = 0; id < 48; ++id) {
        const int patch = id == 0 || id == 47 ? 0 : id;
        cgats += std::to_string(id);
        for (int step : {3, 4, 5}) {
            const int h = 10 + step * patch;
            cgats += "\t" + std::to_string(h / 100) + "." + std::to_string(100 + h % 100).substr(1);
        }
        cgats += "\n";
    }
    return cgats + "END_DATA\n";
}

TEST(HostCalcLut, ThreeColoursInOneRunAsThreeSingleRunsAndExposedEachOnItsFrames) {
    CFolder folder;
    WriteText(folder.Path("colour.cgats"), ColourCgats());
    // Twice (the second time with --again, as the same readings), so that each table also keeps
    // its earlier version.
    for (const std::vector<std::string>& again :
         {std::vector<std::string>{}, std::vector<std::string>{"--again"}}) {
        std::vector<std::string> colours = {"calc-lut", "colour.cgats", "--lut-blue", "b.lut",
                                            "--lut-green", "g.lut", "--lut-red", "r.lut"};
        colours.insert(colours.end(), again.begin(), again.end());
        const CRun run = RunHost(folder, colours);
        EXPECT_RUN(run, 0);
        EXPECT_TRUE(Contains(run.out, "D_GREEN -> g.lut")) << run.out;
        for (const char* channel : {"D_BLUE", "D_GREEN", "D_RED"}) {
            std::vector<std::string> single = {"calc-lut", "colour.cgats", "--channel", channel,
                                               "--lut", std::string(channel) + ".lut"};
            single.insert(single.end(), again.begin(), again.end());
            EXPECT_RUN(RunHost(folder, single), 0);
        }
    }
    const std::pair<const char*, const char*> same[] = {
        {"b.lut", "D_BLUE.lut"}, {"g.lut", "D_GREEN.lut"}, {"r.lut", "D_RED.lut"}};
    // The kept versions, without the record of the readings that made them.
    const auto versions = [&](const std::string& file) {
        const std::filesystem::path history = folder.Path(file + ".history");
        return std::count_if(std::filesystem::directory_iterator(history),
                             std::filesystem::directory_iterator(),
                             [](const std::filesystem::directory_entry& entry) {
                                 return entry.path().extension() == ".lut";
                             });
    };
    for (const auto& [colour, single] : same) {
        EXPECT_EQ(ReadBytes(folder.Path(colour)), ReadBytes(folder.Path(single))) << colour;
        EXPECT_EQ(versions(colour), 1) << colour;
    }
    EXPECT_NE(ReadBytes(folder.Path("b.lut")), ReadBytes(folder.Path("g.lut")));
    EXPECT_NE(ReadBytes(folder.Path("g.lut")), ReadBytes(folder.Path("r.lut")));

    // Each colour's frames through its own table: entries input + 1000 x colour.
    const char* const tables[3] = {"plus0.lut", "plus1000.lut", "plus2000.lut"};
    for (int colour = 0; colour < 3; ++colour) {
        host::CLutTable table;
        table.lastInput = 255;
        for (int i = 0; i < 256; ++i)
            table.entries.push_back(static_cast<int16_t>(i + 1000 * colour));
        host::WriteFileSafely(folder.Path(tables[colour]), host::LutFileBytes(table));
    }
    ASSERT_EQ(RunHost(folder, {"sample-image", "sample.bmp"}).status, 0);
    const CRun run = RunHost(folder, {"expose", "sample.bmp", "--out", "shown", "--lut-blue",
                                      tables[0], "--lut-green", tables[1], "--lut-red", tables[2]});
    EXPECT_RUN(run, 0);
    const host::CPicture image = host::ReadBitmap(folder.Path("sample.bmp"));
    for (int n = 0; n < 12; ++n) {
        char name[32];
        std::snprintf(name, sizeof name, "shown/frame-%02d.bmp", n);
        const simulation::CExposure shown =
            simulation::UnpackDisplayPicture(host::ReadBitmap(folder.Path(name)));
        const int dx[4] = {0, 1, 1, 0}, dy[4] = {0, 0, 1, 1};
        EXPECT_EQ(shown[517 * 1280 + 301],
                  image.Pixel(602 + dx[n % 4], 1034 + dy[n % 4])[n / 4] + 1000 * (n / 4))
            << name;
    }
}

TEST(HostCalcLut, DoubtfulReadingsAndTheGammaAreReported) {
    CFolder folder;
    const std::vector<std::string> settings = {"KAVREL_INI_DIR=" + folder.Path()};
    std::string reversed;
    for (int r = 0; r < 48; ++r) reversed += std::to_string(r == 0 ? 10 : 10 + 5 * (47 - r)) + "\n";
    WriteText(folder.Path("reversed.txt"), reversed);
    CRun run = RunHost(folder, {"calc-lut", "reversed.txt", "--lut", "lab.lut"}, settings);
    EXPECT_RUN(run, 1);
    EXPECT_TRUE(Contains(run.err,
                         "reversed.txt: the patch densities fall from 2.40 (patch 1) to "
                         "0.15 (patch 46): patches measured in the wrong order?"))
        << run.err;
    EXPECT_TRUE(Contains(run.err, "(--force calibrates them all the same)")) << run.err;
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
    EXPECT_FALSE(host::FileExists(folder.Path("lab.lut")));
    run = RunHost(folder, {"calc-lut", "reversed.txt", "--lut", "lab.lut", "--force"}, settings);
    EXPECT_RUN(run, 0);
    EXPECT_TRUE(Contains(run.err, "warning: the patch densities fall")) << run.err;
    EXPECT_TRUE(Contains(run.out, "gamma 1.80 (the default; no Gamma in [Imaging] of " +
                                      folder.Path() + "/kavrel.INI)"))
        << run.out;

    // Densities with decimal commas, separated by semicolons; an unusual gamma is used, with a
    // warning; one the library does not use is named when the library writes nothing.
    std::string commas;
    for (int r = 0; r < 48; ++r) {
        const int h = r == 0 || r == 47 ? 10 : 10 + 5 * r;
        commas += std::to_string(h / 100) + "," + std::to_string(100 + h % 100).substr(1) + ";";
    }
    WriteText(folder.Path("commas.csv"), commas);
    WriteText(folder.Path("kavrel.INI"), "[Imaging]\nGamma=30\n");
    run = RunHost(folder, {"calc-lut", "commas.csv", "--lut", "low.lut", "--density"}, settings);
    EXPECT_RUN(run, 0);
    EXPECT_TRUE(Contains(
        run.out, "gamma 0.30 (Gamma in [Imaging] of " + folder.Path() + "/kavrel.INI reads as 30)"))
        << run.out;
    EXPECT_TRUE(Contains(run.err, "warning: gamma 0.30")) << run.err;
    // Densities are reported as densities, not as the hundredths the library takes.
    EXPECT_TRUE(Contains(run.out, "readings: commas.csv: reference 0.10, patches 0.15 (value 252)"))
        << run.out;
    WriteText(folder.Path("kavrel.INI"), "[Imaging]\nGamma=1.80\n");
    run = RunHost(folder, {"calc-lut", "commas.csv", "--lut", "low.lut", "--density", "--again"},
                  settings);
    EXPECT_RUN(run, 1);
    EXPECT_TRUE(Contains(run.err,
                         "low.lut: the library wrote no new table: gamma 0.01 (Gamma in "
                         "[Imaging] of " +
                             folder.Path() +
                             "/kavrel.INI reads as 1) is outside 0.10 .. "
                             "10.00"))
        << run.err;
}

// A scan of the offset test pattern, exposed on the simulated uneven display without a library.
void WritePatternScan(const std::string& path, simulation::CPlacement placement) {
    static const simulation::CExposure exposure =
        simulation::IdealExposure(host::MakeOffsetPattern());
    host::WriteBitmap(path, simulation::ExposeAndScan(exposure, placement));
}

TEST(HostCalcOffset, NewMapFromARightlyPlacedScan) {
    CFolder folder;
    WritePatternScan(folder.Path("scan.bmp"), simulation::kRightPlacement);
    CRun run =
        RunHost(folder, {"calc-offset", "scan.bmp", "--offset", "lab.frm", "--map", "map.bmp"});
    EXPECT_RUN(run, 0);
    EXPECT_TRUE(Contains(run.out, "notch on the right side, near the top: placed right"))
        << run.out;
    EXPECT_TRUE(Contains(run.out, "(first calibration)")) << run.out;
    const host::COffsetMap map =
        host::ParseOffsetFile("lab.frm", ReadBytes(folder.Path("lab.frm")));
    EXPECT_EQ(map.width, 1280);
    EXPECT_EQ(map.height, 1024);
    // Where the display is brighter the map lowers the exposure: the bright spot near display
    // column 900, line 300 (map row 723) against the dim lower left corner.
    EXPECT_LT(map.At(900, 723), map.At(100, 100));
    const host::CPicture picture = host::ReadBitmap(folder.Path("map.bmp"));
    EXPECT_EQ(picture.Width(), 1280);
    EXPECT_EQ(picture.Height(), 1024);
    // The spot (less exposure) is blue in the picture, as the display shows it.
    EXPECT_GT(picture.Pixel(900, 300)[0], picture.Pixel(900, 300)[2]);

    // The same scan again is refused: its correction would go on top of itself.
    run = RunHost(folder, {"calc-offset", "scan.bmp", "--offset", "lab.frm"});
    EXPECT_RUN(run, 1);
    EXPECT_TRUE(Contains(run.err, "lab.frm: the scan scan.bmp made this file as it is now")) << run.err;
    EXPECT_TRUE(Contains(run.err, "(--again applies it all the same)")) << run.err;

    // The same unevenness measured again is a change far above the scan's noise.
    run = RunHost(folder, {"calc-offset", "scan.bmp", "--offset", "lab.frm", "--again"});
    EXPECT_RUN(run, 0);
    EXPECT_TRUE(Contains(run.out, "change from the old map")) << run.out;
    EXPECT_TRUE(Contains(run.out, "change above the scan's noise (")) << run.out;
    EXPECT_FALSE(Contains(run.out, "as even as this scan can show")) << run.out;

    // A print of an even display shows nothing but the scanner's noise: one line says that
    // calibrating further is pointless.
    simulation::CScanSettings even;
    even.uneven = false;
    host::WriteBitmap(
        folder.Path("even.bmp"),
        simulation::ExposeAndScan(simulation::IdealExposure(host::MakeOffsetPattern()),
                                  simulation::kRightPlacement, even));
    run = RunHost(folder, {"calc-offset", "even.bmp", "--offset", "lab.frm"});
    EXPECT_RUN(run, 0);
    EXPECT_TRUE(Contains(run.out,
                         "of the field\nthe display is as even as this scan can show: "
                         "further calibrations will not improve it\n"))
        << run.out;

    // Each kept map with its spread, and its change from the one before.
    run = RunHost(folder, {"history", "lab.frm"});
    EXPECT_RUN(run, 0);
    EXPECT_TRUE(Contains(run.out, "  now  spread ")) << run.out;
    EXPECT_TRUE(Contains(run.out, " levels, change from the version before ")) << run.out;
}

// The scan as a bitmap with its rows stored top-down.
std::vector<uint8_t> TopDownBytes(const host::CPicture& picture) {
    std::vector<uint8_t> bytes = host::BitmapBytes(picture);
    const size_t stride = (3 * static_cast<size_t>(picture.Width()) + 3) & ~size_t{3};
    std::vector<uint8_t> flipped(bytes.begin(), bytes.begin() + 54);
    for (int y = picture.Height() - 1; y >= 0; --y)
        flipped.insert(flipped.end(), bytes.begin() + 54 + y * stride,
                       bytes.begin() + 54 + (y + 1) * stride);
    const uint32_t height = 0u - static_cast<uint32_t>(picture.Height());
    for (int i = 0; i < 4; ++i) flipped[22 + i] = static_cast<uint8_t>(height >> (8 * i));
    return flipped;
}

TEST(HostCalcOffset, MeasuresTheScanBeforeTheLibraryDoes) {
    CFolder folder;
    host::CPicture pattern = host::MakeOffsetPattern();
    const simulation::CExposure whole = simulation::IdealExposure(pattern);
    // Two marks lost, as to dust on the print.
    for (const auto& [i, j] : {std::pair{4, 2}, std::pair{15, 11}})
        pattern.FillGrey(2 * host::GridColumn(i), 2 * host::GridLine(j), 2, 2,
                         host::kDefaultFieldLevel);
    const simulation::CExposure dusty = simulation::IdealExposure(pattern);
    auto scan = [&](const simulation::CExposure& exposure, double scale, int margin) {
        simulation::CScanSettings settings;
        settings.scale = scale;
        settings.margin = margin;
        return simulation::ExposeAndScan(exposure, simulation::kRightPlacement, settings);
    };
    host::WriteBitmap(folder.Path("coarse.bmp"), scan(whole, 1.2, 40));
    host::WriteBitmap(folder.Path("dusty.bmp"), scan(dusty, 1.5, 40));
    host::WriteBitmap(folder.Path("cut.bmp"), scan(whole, 1.5, -3));
    host::WriteFileSafely(folder.Path("top-down.bmp"), TopDownBytes(scan(whole, 1.5, 40)));
    struct CCase {
        std::string scan;
        std::string message;
    } refused[] = {
        {"coarse.bmp",
         "coarse.bmp: the exposed field measures 1230 x 1537 scan pixels, 1.20 scan pixels per "
         "display pixel; below 1.5 repeated calibrations drift"},
        {"cut.bmp", "cut.bmp: the exposed field reaches the scan's left edge"},
        {"top-down.bmp", "top-down.bmp: a bitmap with top-down rows"},
    };
    for (const CCase& c : refused) {
        const CRun run = RunHost(folder, {"calc-offset", c.scan, "--offset", "lab.frm"});
        EXPECT_RUN(run, 1);
        EXPECT_TRUE(Contains(run.err, c.message)) << run.err;
        EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
        EXPECT_FALSE(host::FileExists(folder.Path("lab.frm")));
    }
    CRun run = RunHost(folder, {"calc-offset", "coarse.bmp", "--offset", "lab.frm", "--coarse"});
    EXPECT_RUN(run, 0);
    EXPECT_TRUE(Contains(run.out, "marks: all 320 found")) << run.out;
    EXPECT_TRUE(Contains(run.out, "spread (standard deviation) of the new map: ")) << run.out;
    EXPECT_TRUE(Contains(run.out, "% of the field's exposure 2039)\n")) << run.out;
    // The spread in percent of the field's exposure through the LUT the pattern was shown with.
    host::CLutTable lut = host::DefaultLutTable();
    lut.entries[host::kDefaultFieldLevel] = 1000;
    host::WriteFileSafely(folder.Path("lab.lut"), host::LutFileBytes(lut));
    run = RunHost(folder, {"calc-offset", "dusty.bmp", "--offset", "lab.frm", "--lut", "lab.lut"});
    EXPECT_RUN(run, 0);
    EXPECT_TRUE(Contains(run.out,
                         "marks: 2 of 320 not found (grid column, row: display column, "
                         "line): 4, 2: 287, 864; 15, 11: 991, 288"))
        << run.out;
    EXPECT_TRUE(Contains(run.out, "% of the field's exposure 1000); of the change: ")) << run.out;
}

TEST(HostCalcOffset, RefusesAWronglyPlacedOrUnusableScanAndLeavesTheMap) {
    CFolder folder;
    WritePatternScan(folder.Path("right.bmp"), simulation::kRightPlacement);
    WritePatternScan(folder.Path("turned.bmp"), {3, false});
    WritePatternScan(folder.Path("mirrored.bmp"), {1, true});
    host::WriteBitmap(folder.Path("blank.bmp"), host::CPicture(800, 1000, 250));
    ASSERT_EQ(RunHost(folder, {"calc-offset", "right.bmp", "--offset", "lab.frm"}).status, 0);
    const std::vector<uint8_t> before = ReadBytes(folder.Path("lab.frm"));
    WriteText(folder.Path("bad.frm"), "FRAME");
    struct CCase {
        std::vector<std::string> args;
        std::string message;
    } cases[] = {
        {{"turned.bmp"},
         "turned.bmp: the scan shows the orientation notch on the left side, near "
         "the bottom; it must lie on the right side, near the top"},
        {{"turned.bmp"}, "turn the print half a turn on the scanner"},
        {{"mirrored.bmp"}, "mirror image"},
        {{"blank.bmp"}, "blank.bmp: the scan shows no exposed field"},
        {{"right.bmp", "--color", "3"}, "--color must be a whole number from 0 to 2"},
        {{"missing.bmp"}, "missing.bmp: no such file (scan)"},
        {{"right.bmp", "--offset", "bad.frm"}, "bad.frm: not an offset file"},
        {{"right.bmp", "--offset", "none/lab.frm"}, "none/lab.frm: the folder none does not exist"},
        // Unchecked, a scan without an exposed field reaches the library, which writes nothing.
        {{"blank.bmp", "--skip-orientation-check"}, "lab.frm: the library wrote no new offset map"},
    };
    for (const CCase& c : cases) {
        std::vector<std::string> args = {"calc-offset"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        if (std::find(args.begin(), args.end(), "--offset") == args.end())
            args.insert(args.end(), {"--offset", "lab.frm"});
        const CRun run = RunHost(folder, args);
        EXPECT_NE(run.status, 0);
        EXPECT_TRUE(Contains(run.err, c.message)) << run.err;
        EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
    }
    EXPECT_EQ(ReadBytes(folder.Path("lab.frm")), before);
    // Unchecked, the library measures the turned scan without complaint.
    const CRun run = RunHost(
        folder, {"calc-offset", "turned.bmp", "--offset", "lab.frm", "--skip-orientation-check"});
    EXPECT_RUN(run, 0);
    EXPECT_NE(ReadBytes(folder.Path("lab.frm")), before);
}

}  // namespace
