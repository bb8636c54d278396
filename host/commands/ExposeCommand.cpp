// expose: the twelve frames of an image on the output display.
#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <optional>
#include <thread>

#include "base/FileNamePattern.h"
#include "commands/Arguments.h"
#include "commands/Commands.h"
#include "commands/Guards.h"
#include "common/Errors.h"
#include "displays/NativeDisplay.h"
#include "exposure/ExposureFiles.h"
#include "exposure/ExposureImage.h"
#include "files/FileRequirements.h"
#include "files/Files.h"
#include "files/Paths.h"
#include "library/Kavrel.h"
#include "photos/Placement.h"
#include "pictures/Bitmap.h"
#include "pictures/Targets.h"

namespace host {

namespace {

using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// Keeps the current picture on the display for the given time, or until Ctrl+C.
void Hold(double seconds) {
    const Clock::time_point end = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                                     std::chrono::duration<double>(seconds));
    while (!CInterruptGuard::Interrupted() && Clock::now() < end)
        std::this_thread::sleep_for(
            std::min<Clock::duration>(std::chrono::milliseconds(20), end - Clock::now()));
}

// The name of the file that drawing n of a file display goes to, formatted as the display
// formats it; nothing when the display takes no such pattern.
std::optional<std::string> DrawingFile(const std::string& pattern, unsigned n) {
    if (!kavrel::IsFileNamePattern(pattern)) return std::nullopt;
    return kavrel::FileNameFor(pattern, n);
}

// Counts the drawings on the display and, for a file display, checks that each one reached
// its file, since the library reports no result for a display it could not open or write.
class CDisplayCheck {
public:
    explicit CDisplayCheck(const std::string& device) {
        m_strPattern = kavrel::FileDisplayPattern(device).value_or(std::string());
        m_bFileDisplay = !m_strPattern.empty() && DrawingFile(m_strPattern, 0).has_value();
    }
    bool IsFileDisplay() const { return m_bFileDisplay; }

    // Before a drawing: its file, if the display is a file display, is removed so that the
    // check afterwards sees the new picture and not one from an earlier run.
    void BeforeDrawing() {
        if (!m_bFileDisplay) return;
        const std::string file = *DrawingFile(m_strPattern, m_nDrawings);
        std::error_code error;
        std::filesystem::remove(FsPath(file), error);
        // A file that stays (write-protected) would pass for this drawing's picture.
        if (FileExists(file))
            throw CHostError(file +
                             ": cannot be replaced (is it write-protected?); the display "
                             "would leave the picture of an earlier run in it");
    }
    // After a drawing: the file it went to, or an empty string for another display.
    std::string AfterDrawing(const std::string& device) {
        const unsigned n = m_nDrawings++;
        if (!m_bFileDisplay) return std::string();
        const std::string file = *DrawingFile(m_strPattern, n);
        if (!FileExists(file))
            throw CHostError("the display " + device + " drew nothing into " + file +
                             " (can the folder be written?)");
        if (n == 0) m_strFirst = file;
        m_strLast = file;
        return file;
    }
    // After the run: the files of drawings this run did not make, left by an earlier run with more
    // drawings (blank frames), which would pass for part of this one.
    void RemoveStaleFiles() const {
        // A name without a number is every drawing's file, the last one's now.
        if (!m_bFileDisplay || DrawingFile(m_strPattern, 0) == DrawingFile(m_strPattern, 1)) return;
        for (unsigned n = m_nDrawings; n < kMostDrawings; ++n) {
            std::error_code error;
            std::filesystem::remove(FsPath(*DrawingFile(m_strPattern, n)), error);
        }
    }
    const std::string& FirstFile() const { return m_strFirst; }
    const std::string& LastFile() const { return m_strLast; }

private:
    // Twelve frames, each with a blank frame after it.
    static constexpr unsigned kMostDrawings = 24;
    std::string m_strPattern;
    bool m_bFileDisplay = false;
    unsigned m_nDrawings = 0;
    std::string m_strFirst, m_strLast;
};

struct CExposeOptions {
    std::string image;
    std::string device;  // empty: the default file display in outFolder
    std::string outFolder;
    std::optional<std::string> lut;
    // Each colour's table (blue, green, red): its own option's, else --lut's. Only with a table
    // of its own does the LUT change between the colours.
    std::optional<std::string> colourLuts[3];
    bool lutPerColour = false;
    std::optional<std::string> offset;
    int delayLine = 0;
    int delayShift = 0;
    double seconds = 0;
    std::optional<int> blank;  // the level of the blank frame after each frame
    bool dialogs = false;
    std::string library;
    CPhotoOptions photo;
};

std::vector<COption> ExposeOptionsHelp() {
    std::vector<COption> options = {
        {"device", "NAME",
         "output display (default: file:DIR/frame-%02d.bmp); Windows: DISPLAY or\n"
         "\\\\.\\DISPLAYn; X11: DISPLAY, :N, :N.S, each optionally /OUTPUT"},
        {"out", "DIR", "folder of the default file display (default: frames)"},
        {"lut", "FILE", "LUT file (default: the library's table, 4095 at 0 down to 0 at 255)"},
        {"lut-blue", "FILE", "the blue frames' LUT file (default: --lut)"},
        {"lut-green", "FILE", "the green frames' LUT file (default: --lut)"},
        {"lut-red", "FILE", "the red frames' LUT file (default: --lut)"},
        {"offset", "FILE", "offset file (default: no offset map)"},
        {"delay-line", "N", "1: every second column one display line lower (default 0)"},
        {"delay-shift", "N", "1: the even columns are the lower ones, not the odd (default 0)"},
        {"dialogs", "",
         "let the library show its message boxes (default: off, the host\n"
         "reports failures itself, so that no box waits for a person)"},
        {"seconds", "S", "how long each frame stays on the display (default 0: a dry run)"},
        {"blank", "VALUE",
         "after every frame show a uniform frame of this exposure level\n"
         "0..4095 (0 is dark), so that no frame stays on longer than asked\n"
         "while the next one is computed"}};
    for (COption& option : PhotoOptionsHelp()) options.push_back(std::move(option));
    return options;
}

std::optional<CExposeOptions> ParseOptions(const CArgs& args) {
    CArguments arguments(
        "expose", "IMAGE [options]",
        "Shows the twelve frames of IMAGE on the output display: a 2560 x 2048 24-bit bitmap\n"
        "as it is, or any JPEG, PNG, TIFF or bitmap made into one as 'prepare' does (see\n"
        "kavrel-host prepare --help for the options that place it). The frames are,\n"
        "for colour 0, 1, 2 (the blue, green and red byte of each pixel) and within each colour\n"
        "for position 0, 1, 2, 3 (the upper left, upper right, lower right and lower left pixel\n"
        "of every 2 x 2 block). Frame n (0..11) is colour n / 4, position n % 4. Each frame is\n"
        "mapped through the LUT, corrected with the offset map, drawn, and kept on the display\n"
        "for --seconds. Without --device the display is a file display that writes every\n"
        "drawing as a bitmap into --out: frame-00.bmp, frame-01.bmp, ...\n"
        "The display is checked before anything is drawn: a display that does not exist or\n"
        "whose mode would change the packed values ends the command (kavrel-host displays\n"
        "lists the names; kavrel-host check-display checks a display bit for bit).\n"
        "\n"
        "Delay line: with --delay-line 1 every second column is drawn one display line\n"
        "lower than its neighbours, for an output that needs those columns a line apart:\n"
        "the odd columns (1, 3, ...), or with --delay-shift 1 the even ones (0, 2, ...).\n"
        "Those columns stay black on the display's top line, and the image's bottom line\n"
        "does not show in them. Blank frames (--blank) are always drawn straight.",
        ExposeOptionsHelp(), 1, 1, true);
    if (!arguments.ParseOrShowHelp(args)) return std::nullopt;
    CExposeOptions options;
    options.image = arguments.Positionals()[0];
    if (arguments.Has("device") && arguments.Has("out"))
        throw CUsageError("expose: give either --device or --out, not both");
    options.delayLine = arguments.Integer("delay-line", 0, 0, 1);
    options.delayShift = arguments.Integer("delay-shift", 0, 0, 1);
    options.seconds = arguments.Number("seconds", 0, 0, 86400);
    if (arguments.Has("blank")) options.blank = arguments.Integer("blank", 0, 0, 4095);
    if (arguments.Has("lut")) options.lut = arguments.Text("lut");
    const char* const colourOptions[3] = {"lut-blue", "lut-green", "lut-red"};
    for (int colour = 0; colour < 3; ++colour) {
        options.colourLuts[colour] = options.lut;
        if (!arguments.Has(colourOptions[colour])) continue;
        options.colourLuts[colour] = arguments.Text(colourOptions[colour]);
        options.lutPerColour = true;
    }
    if (arguments.Has("offset")) options.offset = arguments.Text("offset");
    options.device = arguments.Text("device");
    options.outFolder = arguments.Text("out", "frames");
    options.dialogs = arguments.Has("dialogs");
    options.library = arguments.Text("library");
    options.photo = ReadPhotoOptions(arguments);
    return options;
}

// The display the frames go to, checked: the library tells no host whether a display opened,
// so the host finds out first. The default file display's folder is made here.
std::string CheckDisplay(const CExposeOptions& options) {
    std::string device = options.device;
    if (device.empty()) {
        MakeFolder(options.outFolder);
        device = "file:" + PathInFolder(options.outFolder, "frame-%02d.bmp");
    }
    if (device.compare(0, 5, "file:") != 0) {
        RequireNativeDisplay(device);
        return device;
    }
    const std::optional<std::string> first = DrawingFile(device.substr(5), 0);
    if (device.size() == 5 || !first)
        throw CHostError("--device " + device +
                         ": a file display takes a file name with at most one integer "
                         "conversion such as %02d (%% for a percent sign)");
    RequireFolderOf(*first, options.device.empty() ? "--out" : "--device");
    return device;
}

// Everything but the image and the display checked before the library is loaded; returns the
// display.
std::string CheckInputs(const CExposeOptions& options) {
    if (options.lut) CheckLut(*options.lut);
    if (options.lutPerColour)
        for (const std::optional<std::string>& lut : options.colourLuts)
            if (lut && lut != options.lut) CheckLut(*lut);
    if (options.offset) CheckOffset(*options.offset);
    return CheckDisplay(options);
}

void LoadIntoLibrary(CKavrel& kavrel, const CExposeOptions& options, const std::string& device,
                     const CExposureImage& image) {
    kavrel.DisableErrorWindow(options.dialogs ? 0 : 1);
    kavrel.SetDeviceName(device.c_str());
    // Without a LUT file the library's default table; without any table frames would carry raw
    // image values.
    kavrel.SetLutFile(options.lut.value_or("").c_str());
    if (options.offset) kavrel.SetOffsetFile(options.offset->c_str());
    const int code = kavrel.SetImageFile(image.LibraryFile().c_str());
    if (code != 0)
        throw CHostError(options.image + ": the library cannot load it (result " +
                         std::to_string(code) + ")");
    kavrel.SetDelayLine(options.delayLine);
    kavrel.SetDelayShift(options.delayShift);
}

// The times spent on a showing.
struct CShowing {
    double computing = 0, drawing = 0, shown = 0;
    int frames = 0, drawings = 0;
};

std::string LutText(const CExposeOptions& options) {
    const auto name = [](const std::optional<std::string>& lut) {
        return lut ? *lut : "the library's default table";
    };
    if (!options.lutPerColour) return "LUT: " + name(options.lut);
    return "LUTs: blue " + name(options.colourLuts[0]) + ", green " + name(options.colourLuts[1]) +
           ", red " + name(options.colourLuts[2]);
}

void ReportStart(const CExposeOptions& options, const std::string& device,
                 const CExposureImage& image) {
    std::cout << "exposing " << options.image << " on " << device << "\n";
    for (const std::string& line : image.Report()) std::cout << "  " << line << "\n";
    std::cout << "  " << LutText(options) << ", offset map: " << options.offset.value_or("none")
              << ", delay line " << (options.delayLine ? "on" : "off") << ", delay shift "
              << (options.delayShift ? "on" : "off") << ", " << options.seconds << " s a frame"
              << (options.blank ? ", blank " + std::to_string(*options.blank) + " after each frame"
                                : "")
              << "\n"
              << std::flush;
}

void ReportFrame(int index, double computed, double drawn, const std::string& file) {
    const int colour = index / 4, position = index % 4;
    char line[200];
    std::snprintf(line, sizeof line,
                  "frame %2d/12  colour %d (%-5s)  position %d (%-11s)  computed in %s ms, "
                  "drawn in %s ms",
                  index + 1, colour, ColourName(colour), position, PositionName(position),
                  Milliseconds(computed).c_str(), Milliseconds(drawn).c_str());
    std::cout << line << (file.empty() ? "" : " -> " + file) << "\n" << std::flush;
}

void ReportBlank(int level, const std::string& file) {
    std::cout << "            blank " << level << (file.empty() ? "" : " -> " + file) << "\n"
              << std::flush;
}

void ReportTotals(const CShowing& showing, const CDisplayCheck& display) {
    char held[32];
    std::snprintf(held, sizeof held, "%.1f", showing.shown);
    std::cout << "shown " << showing.frames << " of 12 frames: computing "
              << Milliseconds(showing.computing) << " ms ("
              << Milliseconds(showing.frames ? showing.computing / showing.frames : 0)
              << " ms a frame), drawing " << Milliseconds(showing.drawing) << " ms ("
              << Milliseconds(showing.drawings ? showing.drawing / showing.drawings : 0)
              << " ms a drawing), on the display " << held << " s\n";
    if (display.IsFileDisplay() && showing.frames > 0)
        std::cout << "display pictures: " << display.FirstFile() << " .. " << display.LastFile()
                  << "\n";
}

// One frame computed, drawn and held on the display, and the blank frame after it.
void ShowFrame(CKavrel& kavrel, const CExposeOptions& options, const std::string& device, int index,
               CDisplayCheck& display, CShowing& showing) {
    // Each colour's table taken into the library before the colour's first frame.
    if (options.lutPerColour && index % 4 == 0)
        kavrel.SetLutFile(options.colourLuts[index / 4].value_or("").c_str());
    kavrel.SetColor(index / 4);
    kavrel.SetPosition(index % 4);
    Clock::time_point start = Clock::now();
    kavrel.CalcFrame(index);
    const double computed = SecondsSince(start);
    display.BeforeDrawing();
    start = Clock::now();
    kavrel.OutputFrame(index);
    const double drawn = SecondsSince(start);
    ReportFrame(index, computed, drawn, display.AfterDrawing(device));
    showing.computing += computed;
    showing.drawing += drawn;
    ++showing.drawings;
    start = Clock::now();
    Hold(options.seconds);
    showing.shown += SecondsSince(start);
    ++showing.frames;
    if (!options.blank) return;
    display.BeforeDrawing();
    start = Clock::now();
    kavrel.OutputBlankFrame(*options.blank);
    showing.drawing += SecondsSince(start);
    ++showing.drawings;
    ReportBlank(*options.blank, display.AfterDrawing(device));
}

// The twelve frames in their order, until Ctrl+C.
CShowing ShowFrames(CKavrel& kavrel, const CExposeOptions& options, const std::string& device,
                    CDisplayCheck& display) {
    const CInterruptGuard interrupt;
    const COpenDisplay open(kavrel);
    CShowing showing;
    for (int index = 0; index < 12 && !CInterruptGuard::Interrupted(); ++index)
        ShowFrame(kavrel, options, device, index, display, showing);
    return showing;
}

}  // namespace

int RunExpose(const CArgs& args) {
    const std::optional<CExposeOptions> options = ParseOptions(args);
    if (!options) return 0;
    const CExposureImage image(options->image, options->photo);
    const std::string device = CheckInputs(*options);
    CKavrel kavrel(options->library);
    LoadIntoLibrary(kavrel, *options, device, image);
    ReportStart(*options, device, image);
    CDisplayCheck display(device);
    const CShowing showing = ShowFrames(kavrel, *options, device, display);
    display.RemoveStaleFiles();
    ReportTotals(showing, display);
    if (CInterruptGuard::Interrupted())
        throw CHostError("interrupted after " + std::to_string(showing.frames) + " of 12 frames");
    return 0;
}

}  // namespace host
