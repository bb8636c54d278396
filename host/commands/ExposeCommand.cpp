// expose: the twelve frames of an image on the output display.
#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <memory>
#include <optional>
#include <sstream>
#include <vector>

#include "base/FileNamePattern.h"
#include "commands/Arguments.h"
#include "commands/Commands.h"
#include "commands/Guards.h"
#include "common/Errors.h"
#include "displays/Display.h"
#include "displays/NativeDisplay.h"
#include "displays/RefreshClock.h"
#include "exposure/ExposureFiles.h"
#include "exposure/ExposureImage.h"
#include "exposure/Pacing.h"
#include "exposure/RefreshTiming.h"
#include "files/FileRequirements.h"
#include "files/Files.h"
#include "files/Paths.h"
#include "library/Kavrel.h"
#include "photos/Placement.h"

namespace host {

namespace {

using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
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

// A day at 240 Hz.
constexpr int kMostRefreshes = 86400 * 240;

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
    std::optional<double> seconds;
    std::optional<int> refreshes;
    int blankRefreshes = 1;
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
        {"out", "DIR", "folder of the default file display (default: frames)"}};
    for (COption& option : LutOptions(
             "LUT file (default: the library's table, 4095 at 0 down to 0 at 255)", [](int colour) {
                 return std::string("the ") + ColourName(colour) +
                        " frames' LUT file (default: --lut)";
             }))
        options.push_back(std::move(option));
    const std::vector<COption> frames = {
        {"offset", "FILE", "offset file (default: no offset map)"},
        {"delay-line", "N", "1: every second column one display line lower (default 0)"},
        {"delay-shift", "N", "1: the even columns are the lower ones, not the odd (default 0)"},
        {"dialogs", "",
         "let the library show its message boxes (default: off, the host\n"
         "reports failures itself, so that no box waits for a person)"},
        {"seconds", "S",
         "how long each frame stays on the display, as round(S x refresh\n"
         "rate) refreshes (default 0: a dry run)"},
        {"refreshes", "N",
         "each frame stays on the display for N refreshes (instead of --seconds)"},
        {"blank", "VALUE",
         "after every frame show a uniform frame of this exposure level\n"
         "0..4095 (0 is dark)"},
        {"blank-refreshes", "N", "how many refreshes each blank frame stays (default 1)"}};
    options.insert(options.end(), frames.begin(), frames.end());
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
        "for --seconds, which become a whole number of the display's refreshes. Where the\n"
        "display presents drawings at a refresh (X11 with the Present extension), every frame\n"
        "replaces the one before at the refresh where that one's count ends, and each frame's\n"
        "time on the screen is read back from the display's refresh counter and timestamps:\n"
        "a frame that missed its count fails the exposure (exit status 1). Elsewhere the times\n"
        "are kept by the host's clock and are approximate, as the report says.\n"
        "Without --device the display is a file display that writes every drawing as a\n"
        "bitmap into --out: frame-00.bmp, frame-01.bmp, ...\n"
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
    if (arguments.Has("seconds") && arguments.Has("refreshes"))
        throw CUsageError("expose: give either --seconds or --refreshes, not both");
    if (arguments.Has("seconds")) options.seconds = arguments.Number("seconds", 0, 0, 86400);
    if (arguments.Has("refreshes"))
        options.refreshes = arguments.Integer("refreshes", 1, 1, kMostRefreshes);
    options.blankRefreshes = arguments.Integer("blank-refreshes", 1, 1, kMostRefreshes);
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
    double lastComputed = 0;  // the time computing the next frame took
    int frames = 0, drawings = 0;
    std::vector<CTimedDrawing> timed;  // by the display's refreshes; empty when approximate
};

// How the drawings are held on the display, decided once it is open.
struct CPacing {
    std::unique_ptr<CRefreshClock> clock;  // the display's refreshes; none: the host's clock
    std::unique_ptr<CPacer> pacer;
    CRefreshPacer* refreshPacer = nullptr;  // the pacer, when it counts refreshes
    int64_t frameRefreshes = 0;             // 0: a dry run
    int64_t blankRefreshes = 0;
};

// Refreshes over which the rate is measured: half a second at 60 Hz.
constexpr int kRateRefreshes = 30;

std::string HoldText(int64_t refreshes, double hz) {
    char text[80];
    std::snprintf(text, sizeof text, "%lld refresh%s = %.2f ms", static_cast<long long>(refreshes),
                  refreshes == 1 ? "" : "es", 1000.0 * static_cast<double>(refreshes) / hz);
    return text;
}

// The display's refresh rate: measured where the display presents drawings at a refresh (the
// clock then stays in pacing), else its mode's nominal rate or 0. Says why when not measured.
double RefreshRate(const std::string& device, CPacing& pacing, std::string& reason) {
    if (IsFileDisplay(device)) {
        reason = "a file display has no refreshes";
        return 0;
    }
    pacing.clock = CRefreshClock::Open(device, reason);
    CRefreshRate rate;
    if (pacing.clock && pacing.clock->MeasureRate(kRateRefreshes, rate)) {
        char line[160];
        std::snprintf(line, sizeof line,
                      "  refresh rate %.3f Hz, measured over %d refreshes (period %.3f ms, "
                      "spread %.3f ms); drawings are presented at a refresh\n",
                      rate.hz, rate.refreshes, 1000.0 / rate.hz, rate.spreadMs);
        std::cout << line;
        return rate.hz;
    }
    if (pacing.clock) reason = "the display's refreshes did not come";
    pacing.clock.reset();
    CScreenMode mode;
    std::string unused;
    return FindDisplay(device, mode, unused) ? mode.refresh : 0;
}

CPacing Pace(const CExposeOptions& options, const std::string& device) {
    CPacing pacing;
    if (!options.refreshes && options.seconds.value_or(0) <= 0) {
        pacing.pacer = std::make_unique<CClockPacer>(0, CInterruptGuard::Interrupted);
        return pacing;
    }
    std::string reason;
    double hz = RefreshRate(device, pacing, reason);
    const bool assumed = hz <= 0;
    if (assumed) hz = 60;
    pacing.frameRefreshes =
        options.refreshes ? *options.refreshes : RefreshesFor(*options.seconds, hz);
    pacing.blankRefreshes = options.blankRefreshes;
    std::cout << "  each frame " << HoldText(pacing.frameRefreshes, hz);
    if (!options.refreshes) std::cout << " (" << *options.seconds << " s asked)";
    if (options.blank) std::cout << ", each blank frame " << HoldText(pacing.blankRefreshes, hz);
    std::cout << "\n";
    if (pacing.clock) {
        auto pacer = std::make_unique<CRefreshPacer>(*pacing.clock, 1000.0 / hz,
                                                     CInterruptGuard::Interrupted, std::cout);
        pacing.refreshPacer = pacer.get();
        pacing.pacer = std::move(pacer);
    } else {
        char rate[40];
        std::snprintf(rate, sizeof rate, assumed ? "an assumed %.0f Hz" : "the mode's %.2f Hz", hz);
        std::cout << "  times approximate: " << reason
                  << "; each drawing is held by the host's clock from the moment it is drawn, at "
                  << rate << ", to within a refresh\n";
        pacing.pacer = std::make_unique<CClockPacer>(1.0 / hz, CInterruptGuard::Interrupted);
    }
    std::cout << std::flush;
    return pacing;
}

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
    std::ostringstream hold;
    if (options.refreshes)
        hold << *options.refreshes << " refreshes a frame";
    else if (options.seconds.value_or(0) > 0)
        hold << *options.seconds << " s a frame";
    else
        hold << "a dry run";
    std::cout << "exposing " << options.image << " on " << device << "\n";
    for (const std::string& line : image.Report()) std::cout << "  " << line << "\n";
    std::cout << "  " << LutText(options) << ", offset map: " << options.offset.value_or("none")
              << ", delay line " << (options.delayLine ? "on" : "off") << ", delay shift "
              << (options.delayShift ? "on" : "off") << ", " << hold.str()
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

void ReportTotals(const CShowing& showing, const CDisplayCheck& display, const CPacing& pacing) {
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
    if (pacing.refreshPacer != nullptr)
        for (const std::string& line : SummariseTiming(showing.timed))
            std::cout << "timing: " << line << "\n";
    else if (pacing.frameRefreshes > 0)
        std::cout << "timing: approximate, kept by the host's clock (see above)\n";
}

// Frame index computed, while the drawing before it is still on the display. Each colour's table
// is taken into the library before the colour's first frame is computed (a computed frame keeps
// the levels of the table it was computed with).
void ComputeFrame(CKavrel& kavrel, const CExposeOptions& options, int index, CShowing& showing) {
    if (options.lutPerColour && index % 4 == 0)
        kavrel.SetLutFile(options.colourLuts[index / 4].value_or("").c_str());
    kavrel.SetColor(index / 4);
    kavrel.SetPosition(index % 4);
    const Clock::time_point start = Clock::now();
    kavrel.CalcFrame(index);
    showing.lastComputed = SecondsSince(start);
    showing.computing += showing.lastComputed;
}

// One frame, computed before, drawn when the drawing before it has been on for its count; the
// next frame computed while it is on; and the blank frame after it. False when an interrupt
// ended the showing.
bool ShowFrame(CKavrel& kavrel, const CExposeOptions& options, const std::string& device, int index,
               CDisplayCheck& display, CShowing& showing, CPacing& pacing) {
    const double computed = showing.lastComputed;
    display.BeforeDrawing();
    if (!pacing.pacer->WaitForTurn()) return false;
    Clock::time_point start = Clock::now();
    kavrel.OutputFrame(index);
    const double drawn = SecondsSince(start);
    ReportFrame(index, computed, drawn, display.AfterDrawing(device));
    pacing.pacer->Drawn("frame " + std::to_string(index + 1), pacing.frameRefreshes);
    showing.drawing += drawn;
    ++showing.drawings;
    ++showing.frames;
    if (index + 1 < 12) ComputeFrame(kavrel, options, index + 1, showing);
    if (!options.blank) return true;
    display.BeforeDrawing();
    if (!pacing.pacer->WaitForTurn()) return false;
    start = Clock::now();
    kavrel.OutputBlankFrame(*options.blank);
    showing.drawing += SecondsSince(start);
    ++showing.drawings;
    ReportBlank(*options.blank, display.AfterDrawing(device));
    pacing.pacer->Drawn("the blank after frame " + std::to_string(index + 1),
                        pacing.blankRefreshes);
    return true;
}

// On a display timed by its refreshes the showing starts with a dark drawing: the screen is dark
// already, and the first drawing of the library, which sets up what drawing needs, is then not
// one whose time counts.
void StartShowing(CKavrel& kavrel, CPacing& pacing) {
    if (pacing.refreshPacer == nullptr) return;
    kavrel.OutputBlankFrame(0);
    pacing.pacer->Drawn("the dark start", 0);
}

// Ends the showing once the last drawing has been on for its count: on a display timed by its
// refreshes with a dark drawing at the refresh where the count ends, so that the last drawing's
// time is exact and measured too.
void EndShowing(CKavrel& kavrel, CPacing& pacing) {
    if (!pacing.pacer->WaitForTurn() || pacing.refreshPacer == nullptr) return;
    kavrel.OutputBlankFrame(0);
    pacing.pacer->Drawn("the dark end", 0);
    std::cout << "            dark: the exposure ends\n" << std::flush;
}

// The twelve frames in their order, until Ctrl+C.
CShowing ShowFrames(CKavrel& kavrel, const CExposeOptions& options, const std::string& device,
                    CDisplayCheck& display, CPacing& pacing) {
    const CInterruptGuard interrupt;
    const COpenDisplay open(kavrel);
    pacing = Pace(options, device);
    CShowing showing;
    const Clock::time_point start = Clock::now();
    StartShowing(kavrel, pacing);
    ComputeFrame(kavrel, options, 0, showing);
    bool going = true;
    for (int index = 0; index < 12 && going; ++index)
        going = ShowFrame(kavrel, options, device, index, display, showing, pacing);
    if (going) EndShowing(kavrel, pacing);
    showing.shown = SecondsSince(start);
    if (pacing.refreshPacer != nullptr) showing.timed = pacing.refreshPacer->Timed();
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
    CPacing pacing;
    const CShowing showing = ShowFrames(kavrel, *options, device, display, pacing);
    display.RemoveStaleFiles();
    ReportTotals(showing, display, pacing);
    if (CInterruptGuard::Interrupted())
        throw CHostError("interrupted after " + std::to_string(showing.frames) + " of 12 frames");
    const auto missed = std::count_if(showing.timed.begin(), showing.timed.end(),
                                      [](const CTimedDrawing& d) { return !d.time.Exact(); });
    if (missed > 0)
        throw CHostError("the exposure failed: " + std::to_string(missed) + " of " +
                         std::to_string(showing.timed.size()) +
                         " drawings were not on the screen for exactly their count of refreshes");
    return 0;
}

}  // namespace host
