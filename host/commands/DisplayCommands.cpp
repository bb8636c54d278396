// check-display and displays: whether a display shows the packed values unchanged, and which
// displays there are.
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <random>

#include "base/NonCopyable.h"
#include "commands/Arguments.h"
#include "commands/Commands.h"
#include "commands/Guards.h"
#include "common/Errors.h"
#include "displays/Display.h"
#include "displays/DisplayCheck.h"
#include "displays/NativeDisplay.h"
#include "displays/RefreshClock.h"
#include "files/Files.h"
#include "files/Paths.h"
#include "library/Kavrel.h"
#include "pictures/Targets.h"

namespace host {

namespace {

// A fresh folder for the check's LUT and offset files, removed with them at the end.
class CScratchFolder : private kavrel::CNonCopyable {
public:
    CScratchFolder() {
        std::random_device random;
        std::error_code error;
        const std::filesystem::path base = std::filesystem::temp_directory_path(error);
        m_path = base / ("kavrel-check-" + std::to_string(random()));
        if (error || !std::filesystem::create_directory(m_path, error))
            throw CHostError("cannot create a temporary folder in " + NarrowPath(base));
    }
    virtual ~CScratchFolder() {
        std::error_code error;
        std::filesystem::remove_all(m_path, error);
    }
    std::string Path(const std::string& name) const { return NarrowPath(m_path / FsPath(name)); }

private:
    std::filesystem::path m_path;
};

// Refreshes over which check-display measures the rate: a second at 60 Hz.
constexpr int kRateRefreshes = 60;

// The refresh rate and how steady it is, measured while the library's window is open; false,
// with the reason, when the refreshes cannot be measured.
bool CheckRefreshes(CRefreshClock* clock, std::string& reason) {
    CRefreshRate rate;
    if (clock == nullptr) return false;
    if (!clock->MeasureRate(kRateRefreshes, rate)) {
        reason = "the display's refreshes did not come";
        return false;
    }
    const double periodMs = 1000.0 / rate.hz;
    // A period far longer than the others is a refresh that the display system left out.
    const bool steady = rate.longestMs < 1.5 * periodMs;
    char line[200];
    std::snprintf(line, sizeof line,
                  "refresh rate %.3f Hz over %d refreshes: period %.3f ms, spread %.3f ms, "
                  "longest %.3f ms (%s)\n",
                  rate.hz, rate.refreshes, periodMs, rate.spreadMs, rate.longestMs,
                  steady ? "steady" : "unsteady: a refresh came late or was left out");
    std::cout << line << std::flush;
    return true;
}

// Whether the drawing just made was presented at a refresh.
bool Presented(CRefreshClock* clock) {
    CPresentation presentation;
    return clock != nullptr && clock->NextPresentation(presentation) && !presentation.skipped;
}

}  // namespace

int RunCheckDisplay(const CArgs& args) {
    CArguments arguments(
        "check-display", "[options]",
        "Checks that the display shows the library's packed values unchanged: reports its\n"
        "mode, then draws test frames through the library that exercise every packed bit (all\n"
        "4096 levels, each nibble on its own, the delay-line arrangements), reads the screen\n"
        "back and compares it bit for bit. A wrong mode, 16-bit colour, dithering, a colour\n"
        "profile or a scaled desktop would change every exposure: run this before every\n"
        "calibration. It also measures the display's refresh rate and whether drawings are\n"
        "presented at a refresh, and says whether exposures on it can be timed exactly.\n"
        "Exit status 0 when every bit arrives, 1 otherwise.",
        {{"device", "NAME", "the display (default DISPLAY; kavrel-host displays lists them)"},
         {"dialogs", "", "let the library show its message boxes (default: off)"}},
        0, 0, true);
    if (!arguments.ParseOrShowHelp(args)) return 0;
    const std::string device = arguments.Text("device", "DISPLAY");
    if (IsFileDisplay(device))
        throw CUsageError(
            "check-display checks a screen; a file display writes the packed "
            "values as they are");
    CScreenMode mode;
    std::string reason;
    if (!FindDisplay(device, mode, reason)) throw CHostError(device + ": " + reason);
    std::cout << "display " << device << ": " << ModeText(mode) << "\n" << std::flush;
    const std::string problem = ModeProblem(mode);
    if (!problem.empty()) throw CHostError(device + ": " + problem);

    // Frames of the levels wanted: an image of zeros through a LUT of zeros, plus an offset map
    // that holds the levels.
    CScratchFolder folder;
    const std::string lut = folder.Path("zero.lut");
    CLutTable zeros;
    zeros.firstInput = 0;
    zeros.lastInput = 255;
    zeros.entries.assign(256, 0);
    WriteFileSafely(lut, LutFileBytes(zeros));
    std::vector<uint8_t> image(3 * static_cast<size_t>(kImageWidth) * kImageHeight, 0);

    CKavrel kavrel(arguments.Text("library"));
    kavrel.DisableErrorWindow(arguments.Has("dialogs") ? 0 : 1);
    kavrel.SetBitmapPointer(image.data());
    kavrel.SetLutFile(lut.c_str());
    kavrel.SetColor(0);
    kavrel.SetPosition(0);
    kavrel.SetDeviceName(device.c_str());
    int failed = 0, checked = 0, presented = 0;
    std::string untimed;
    bool timed = false;
    {
        const COpenDisplay open(kavrel);
        const std::unique_ptr<CRefreshClock> clock = CRefreshClock::Open(device, untimed);
        timed = CheckRefreshes(clock.get(), untimed);
        for (const CTestFrame& frame : TestFrames()) {
            kavrel.SetDelayLine(frame.delayLine);
            kavrel.SetDelayShift(frame.delayShift);
            if (frame.blank) {
                kavrel.OutputBlankFrame(frame.level);
            } else {
                const std::string offset =
                    folder.Path("levels-" + std::to_string(checked) + ".frm");
                WriteFileSafely(offset, OffsetFileBytes(COffsetMap{kDisplayWidth, kDisplayHeight,
                                                                   frame.levels}));
                kavrel.SetOffsetFile(offset.c_str());
                kavrel.CalcFrame(0);
                kavrel.OutputFrame(0);
            }
            ++checked;
            presented += Presented(clock.get()) ? 1 : 0;
            std::vector<uint8_t> shown;
            if (!ReadDisplay(device, kDisplayWidth, kDisplayHeight, shown, reason))
                throw CHostError(device + ": " + reason);
            const std::vector<std::string> lines = DescribeDifference(
                Compare(ExpectedPicture(frame), shown, kDisplayWidth, kDisplayHeight));
            std::cout << (lines.empty() ? "  pass  " : "  FAIL  ") << frame.what << "\n";
            for (const std::string& line : lines) std::cout << "          " << line << "\n";
            std::cout << std::flush;
            failed += lines.empty() ? 0 : 1;
        }
    }
    if (timed && presented < checked)
        untimed = std::to_string(checked - presented) + " of " + std::to_string(checked) +
                  " drawings were not presented at a refresh";
    if (untimed.empty())
        std::cout << "drawings are presented at a refresh (" << presented << " of " << checked
                  << "): exposures on this display can be timed exactly\n";
    else
        std::cout << "exposures on this display cannot be timed exactly: " << untimed
                  << "; their times are approximate\n";
    if (failed > 0)
        throw CHostError(device + ": " + std::to_string(failed) + " of " + std::to_string(checked) +
                         " test frames reach the screen changed (see above)");
    std::cout << "display check passed: every packed bit reaches the screen unchanged\n";
    return 0;
}

int RunDisplays(const CArgs& args) {
    CArguments arguments("displays", "",
                         "Lists the device names that --device takes, with their geometry.", {}, 0,
                         0, false);
    if (!arguments.ParseOrShowHelp(args)) return 0;
    // A name that leads to no display is no name to give --device: it is reported, not listed.
    std::string unreachable;
    size_t listed = 0;
    for (const CDisplayEntry& entry : ListDisplays()) {
        if (!entry.reachable) {
            unreachable += (unreachable.empty() ? "" : "; ") + entry.name + ": " + entry.description;
            continue;
        }
        std::cout << entry.name << "\n    " << entry.description << "\n";
        ++listed;
    }
    if (!unreachable.empty() && listed == 0) throw CHostError(unreachable);
    if (!unreachable.empty()) std::cerr << "kavrel-host displays: " << unreachable << "\n";
    std::cout << "file:PATH\n    a display in memory that writes every drawing to a bitmap file "
                 "(PATH may hold %02d for the drawing's number)\n";
    return 0;
}

}  // namespace host
