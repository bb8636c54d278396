// expose: the twelve frames of an image on the output display.
#include <algorithm>
#include <cctype>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <optional>
#include <thread>

#include "Arguments.h"
#include "Bitmap.h"
#include "Commands.h"
#include "Errors.h"
#include "Files.h"
#include "Kavrel.h"
#include "Targets.h"
#include "base/FileNamePattern.h"

namespace host {

namespace {

using Clock = std::chrono::steady_clock;

volatile std::sig_atomic_t g_interrupted = 0;
void OnInterrupt(int) { g_interrupted = 1; }

double SecondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// Keeps the current picture on the display for the given time, or until Ctrl+C.
void Hold(double seconds) {
    const Clock::time_point end = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                                     std::chrono::duration<double>(seconds));
    while (!g_interrupted && Clock::now() < end)
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
        std::error_code error;
        std::filesystem::remove(std::filesystem::path(*DrawingFile(m_strPattern, m_nDrawings)),
                                error);
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
    const std::string& FirstFile() const { return m_strFirst; }
    const std::string& LastFile() const { return m_strLast; }

private:
    std::string m_strPattern;
    bool m_bFileDisplay = false;
    unsigned m_nDrawings = 0;
    std::string m_strFirst, m_strLast;
};

void CheckImage(const std::string& path) {
    RequireFile(path, "image");
    const CBitmapSize size = ReadBitmapSize(path);
    if (size.bitCount != 24 || size.width != kImageWidth || std::abs(size.height) != kImageHeight)
        throw CHostError(path + ": a " + std::to_string(size.width) + " x " +
                         std::to_string(std::abs(size.height)) + " bitmap of " +
                         std::to_string(size.bitCount) + " bits per pixel; expose needs " +
                         std::to_string(kImageWidth) + " x " + std::to_string(kImageHeight) +
                         " pixels of 24 bits");
    if (size.height < 0)
        throw CHostError(path +
                         ": a top-down bitmap; expose needs one stored bottom-up, as most "
                         "programs save them");
}

}  // namespace

int RunExpose(const CArgs& args) {
    CArguments arguments(
        "expose", "IMAGE [options]",
        "Shows the twelve frames of IMAGE, a 2560 x 2048 24-bit bitmap, on the output display:\n"
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
        {{"device", "NAME",
          "output display (default: file:DIR/frame-%02d.bmp); Windows: DISPLAY or\n"
          "\\\\.\\DISPLAYn; X11: DISPLAY, :N, :N.S, each optionally /OUTPUT"},
         {"out", "DIR", "folder of the default file display (default: frames)"},
         {"lut", "FILE", "LUT file (default: the library's table, 4095 at 0 down to 0 at 255)"},
         {"offset", "FILE", "offset file (default: no offset map)"},
         {"delay-line", "N", "1: every second column one display line lower (default 0)"},
         {"delay-shift", "N", "1: the even columns are the lower ones, not the odd (default 0)"},
         {"dialogs", "", "let the library show its message boxes (default: off, the host\n"
                         "reports failures itself, so that no box waits for a person)"},
         {"seconds", "S", "how long each frame stays on the display (default 0: a dry run)"},
         {"blank", "VALUE",
          "after every frame show a uniform frame of this exposure level\n"
          "0..4095 (0 is dark), so that no frame stays on longer than asked\n"
          "while the next one is computed"}},
        1, 1, true);
    arguments.Parse(args);
    if (arguments.HelpWanted()) {
        std::cout << arguments.Help();
        return 0;
    }
    const std::string image = arguments.Positionals()[0];
    if (arguments.Has("device") && arguments.Has("out"))
        throw CUsageError("expose: give either --device or --out, not both");
    const int delayLine = arguments.Integer("delay-line", 0, 0, 1);
    const int delayShift = arguments.Integer("delay-shift", 0, 0, 1);
    const double seconds = arguments.Number("seconds", 0, 0, 86400);
    const bool blank = arguments.Has("blank");
    const int blankValue = arguments.Integer("blank", 0, 0, 4095);
    const std::string lut = arguments.Text("lut");
    const std::string offset = arguments.Text("offset");

    CheckImage(image);
    if (arguments.Has("lut")) {
        RequireFile(lut, "--lut");
        const CLutTable table = ParseLutFile(lut, ReadWholeFile(lut, kMaxLutFileBytes));
        if (table.entries.size() > kLibraryMaxLutEntries)
            throw CHostError(lut + ": a LUT of " + std::to_string(table.entries.size()) +
                             " entries; the library takes at most " +
                             std::to_string(kLibraryMaxLutEntries) +
                             " and would expose with its default table instead");
    }
    if (arguments.Has("offset")) {
        RequireFile(offset, "--offset");
        const COffsetMap map = ParseOffsetFile(offset, ReadWholeFile(offset, kMaxOffsetFileBytes));
        if (map.width != kDisplayWidth || map.height != kDisplayHeight)
            throw CHostError(offset + ": an offset map of " + std::to_string(map.width) + " x " +
                             std::to_string(map.height) +
                             " samples; the display needs 1280 x 1024");
    }
    std::string device = arguments.Text("device");
    if (device.empty()) {
        const std::string folder = arguments.Text("out", "frames");
        MakeFolder(folder);
        device = "file:" + folder + "/frame-%02d.bmp";
    }

    CDisplayCheck display(device);
    // The library tells no host whether a display opened: the host finds out first.
    if (device.compare(0, 5, "file:") == 0) {
        if (!display.IsFileDisplay())
            throw CHostError("--device " + device +
                             ": a file display takes a file name with at most one integer "
                             "conversion such as %02d (%% for a percent sign)");
    } else {
        RequireNativeDisplay(device);
    }
    CKavrel kavrel(arguments.Text("library"));
    kavrel.DisableErrorWindow(arguments.Has("dialogs") ? 0 : 1);
    kavrel.SetDeviceName(device.c_str());
    // Without a LUT file the library's default table; without any table frames would carry raw
    // image values.
    kavrel.SetLutFile(lut.c_str());
    if (arguments.Has("offset")) kavrel.SetOffsetFile(offset.c_str());
    const int code = kavrel.SetImageFile(image.c_str());
    if (code != 0)
        throw CHostError(image + ": the library cannot load it (result " + std::to_string(code) +
                         ")");
    kavrel.SetDelayLine(delayLine);
    kavrel.SetDelayShift(delayShift);

    std::cout << "exposing " << image << " on " << device << "\n"
              << "  LUT: " << (lut.empty() ? "the library's default table" : lut)
              << ", offset map: " << (offset.empty() ? "none" : offset) << ", delay line "
              << (delayLine ? "on" : "off") << ", delay shift " << (delayShift ? "on" : "off")
              << ", " << seconds << " s a frame"
              << (blank ? ", blank " + std::to_string(blankValue) + " after each frame" : "")
              << "\n"
              << std::flush;

    g_interrupted = 0;
    void (*previous)(int) = std::signal(SIGINT, OnInterrupt);
    double computing = 0, drawing = 0, shown = 0;
    int frames = 0, drawings = 0;
    kavrel.OpenOutputDevice();
    try {
        for (int index = 0; index < 12 && !g_interrupted; ++index) {
            const int colour = index / 4, position = index % 4;
            kavrel.SetColor(colour);
            kavrel.SetPosition(position);
            Clock::time_point start = Clock::now();
            kavrel.CalcFrame(index);
            const double computed = SecondsSince(start);
            display.BeforeDrawing();
            start = Clock::now();
            kavrel.OutputFrame(index);
            const double drawn = SecondsSince(start);
            const std::string file = display.AfterDrawing(device);
            char line[200];
            std::snprintf(line, sizeof line,
                          "frame %2d/12  colour %d (%-5s)  position %d (%-11s)  computed in %s ms, "
                          "drawn in %s ms",
                          index + 1, colour, ColourName(colour), position, PositionName(position),
                          Milliseconds(computed).c_str(), Milliseconds(drawn).c_str());
            std::cout << line << (file.empty() ? "" : " -> " + file) << "\n" << std::flush;
            computing += computed;
            drawing += drawn;
            ++drawings;
            start = Clock::now();
            Hold(seconds);
            shown += SecondsSince(start);
            ++frames;
            if (blank) {
                display.BeforeDrawing();
                start = Clock::now();
                kavrel.OutputBlankFrame(blankValue);
                drawing += SecondsSince(start);
                ++drawings;
                const std::string blankFile = display.AfterDrawing(device);
                std::cout << "            blank " << blankValue
                          << (blankFile.empty() ? "" : " -> " + blankFile) << "\n"
                          << std::flush;
            }
        }
    } catch (...) {
        kavrel.CloseOutputDevice();
        std::signal(SIGINT, previous);
        throw;
    }
    kavrel.CloseOutputDevice();
    std::signal(SIGINT, previous);

    char held[32];
    std::snprintf(held, sizeof held, "%.1f", shown);
    std::cout << "shown " << frames << " of 12 frames: computing " << Milliseconds(computing)
              << " ms (" << Milliseconds(frames ? computing / frames : 0)
              << " ms a frame), drawing " << Milliseconds(drawing) << " ms ("
              << Milliseconds(drawings ? drawing / drawings : 0)
              << " ms a drawing), on the display " << held << " s\n";
    if (display.IsFileDisplay() && frames > 0)
        std::cout << "display pictures: " << display.FirstFile() << " .. " << display.LastFile()
                  << "\n";
    if (g_interrupted)
        throw CHostError("interrupted after " + std::to_string(frames) + " of 12 frames");
    return 0;
}

}  // namespace host
