// calc-offset: a new offset map from a scan of the exposed offset test pattern.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <optional>

#include "Arguments.h"
#include "Bitmap.h"
#include "Commands.h"
#include "Errors.h"
#include "Files.h"
#include "History.h"
#include "Kavrel.h"
#include "Orientation.h"
#include "Pictures.h"
#include "ScanChecks.h"
#include "Targets.h"

namespace host {

namespace {

struct CMapFigures {
    int low = 0, high = 0;
    double mean = 0;
};

CMapFigures Figures(const std::vector<int>& values) {
    CMapFigures figures;
    if (values.empty()) return figures;
    figures.low = *std::min_element(values.begin(), values.end());
    figures.high = *std::max_element(values.begin(), values.end());
    long long sum = 0;
    for (int v : values) sum += v;
    figures.mean = double(sum) / double(values.size());
    return figures;
}

std::string Describe(const CMapFigures& f) {
    char text[100];
    std::snprintf(text, sizeof text, "%d .. %d, mean %.1f", f.low, f.high, f.mean);
    return text;
}

CLutTable ReadLutForReport(const std::string& path) {
    RequireFile(path, "--lut");
    return ParseLutFile(path, ReadWholeFile(path));
}

}  // namespace

int RunCalcOffset(const CArgs& args) {
    CArguments arguments(
        "calc-offset", "SCAN --offset FILE [options]",
        "Hands the scan of the exposed offset test pattern (see 'targets') to the library, which\n"
        "measures the display's unevenness from it, adds the correction to the map in the offset\n"
        "file and writes the sum back to that file (created when it does not exist yet).\n"
        "Afterwards 'expose --offset FILE' uses it.\n"
        "\n"
        "SCAN is a 24-bit bitmap of the print. The library reads it turned a quarter turn, so the\n"
        "print must lie on the scanner such that the scan shows the pattern turned a quarter turn\n"
        "clockwise: the pattern's top edge, with its orientation notch, along the right side of\n"
        "the scan, the notch near the top. A scan placed otherwise is refused, since its\n"
        "corrections would land in the wrong places.",
        {{"offset", "FILE", "the offset file to recalibrate (required)"},
         {"color", "N", "colour byte of the scan to measure: 0 blue, 1 green, 2 red (default 1)"},
         {"threshold", "P",
          "edge threshold in percent of white (default 90): darker counts as\n"
          "exposed"},
         {"factor", "F",
          "correction factor (default 100): the correction for white paper is\n"
          "F x 20 exposure levels"},
         {"map", "FILE.bmp",
          "write the new offset map as a false-colour bitmap, as the display\n"
          "shows it (red: more exposure, blue: less)"},
         {"skip-orientation-check", "",
          "measure a scan without the orientation notch (one of\n"
          "another pattern) as it lies"},
         {"coarse", "",
          "accept a scan of 1.1 to 1.5 scan pixels per display pixel\n"
          "(repeated calibrations at it drift)"},
         {"lut", "FILE",
          "the LUT the pattern was exposed with, for the map's spread in\n"
          "percent of the field's exposure (default: the library's default table)"}},
        1, 1, true);
    arguments.Parse(args);
    if (arguments.HelpWanted()) {
        std::cout << arguments.Help();
        return 0;
    }
    if (!arguments.Has("offset")) throw CUsageError("calc-offset: --offset FILE is required");
    const std::string scanFile = arguments.Positionals()[0];
    const std::string offset = arguments.Text("offset");
    const int colour = arguments.Integer("color", 1, 0, 2);
    const int threshold = arguments.Integer("threshold", 90, 1, 100);
    const int factor = arguments.Integer("factor", 100, 1, 1638);

    if (arguments.Has("map")) RequireExtension(arguments.Text("map"), ".bmp", "--map");
    RequireFile(scanFile, "scan");
    RequireFolderOf(offset, "--offset");
    // Every output is checked before the library rewrites the map, so that a retry after a
    // failure does not apply the correction twice.
    if (arguments.Has("map")) CheckWritable(arguments.Text("map"), "--map");
    const int fieldExposure = FieldExposure(
        arguments.Has("lut") ? ReadLutForReport(arguments.Text("lut")) : DefaultLutTable());
    RequireBottomUpScan(scanFile);
    const CPicture scan = ReadBitmap(scanFile);
    const CScanCheckOptions checks{colour, threshold, factor, arguments.Has("coarse")};
    RequireWholeField(scanFile, scan, checks);
    if (arguments.Has("skip-orientation-check")) {
        std::cout << "scan: " << scanFile << ", " << scan.Width() << " x " << scan.Height()
                  << ", orientation not checked\n";
    } else {
        const CScanOrientation orientation = FindScanOrientation(scan, colour, threshold, factor);
        if (!orientation.found) throw CHostError(scanFile + ": " + orientation.problem);
        if (!orientation.IsRight()) throw CHostError(scanFile + ": " + orientation.Advice());
        std::cout << "scan: " << scanFile << ", " << scan.Width() << " x " << scan.Height()
                  << ", exposed field " << orientation.left << ".." << orientation.right << " x "
                  << orientation.top << ".." << orientation.bottom << ", notch "
                  << orientation.NotchPlace() << ": placed right\n";
    }
    const std::string marks = CheckFieldAndMarks(scanFile, scan, checks);
    if (!marks.empty()) std::cout << marks << "\n";

    CCalibrationFile file(offset, "--offset", kMaxOffsetFileBytes);
    std::optional<COffsetMap> old;
    std::optional<std::vector<uint8_t>> oldBytes =
        FileExists(offset) ? TryReadWholeFile(offset) : std::nullopt;
    if (FileExists(offset) && !oldBytes) throw CHostError(offset + ": cannot be read");
    if (oldBytes) {
        old = ParseOffsetFile(offset, *oldBytes);
        if (old->width != kDisplayWidth || old->height != kDisplayHeight)
            throw CHostError(offset + ": an offset map of " + std::to_string(old->width) + " x " +
                             std::to_string(old->height) + " samples, not 1280 x 1024");
    }
    std::error_code error;
    const auto oldTime =
        oldBytes ? std::filesystem::last_write_time(std::filesystem::path(offset), error)
                 : std::filesystem::file_time_type{};

    CKavrel kavrel(arguments.Text("library"));
    file.KeepBefore();
    kavrel.DisableErrorWindow(1);
    kavrel.SetOffsetFile(offset.c_str());
    kavrel.SetScanFile(scanFile.c_str());
    kavrel.SetThreshold(threshold);
    kavrel.SetCorrectionFactor(factor);
    kavrel.CalcOffset(colour);
    // Take the new map into the library as a host does; the library itself keeps the old one.
    kavrel.SetOffsetFile(offset.c_str());

    const std::optional<std::vector<uint8_t>> newBytes =
        FileExists(offset) ? TryReadWholeFile(offset) : std::nullopt;
    const bool rewritten =
        newBytes && (newBytes != oldBytes || std::filesystem::last_write_time(
                                                 std::filesystem::path(offset), error) != oldTime);
    file.Finish(rewritten);
    if (!rewritten)
        throw CHostError(offset +
                         ": the library wrote no new offset map (can the file be written? "
                         "does colour " +
                         std::to_string(colour) +
                         " of the scan show an exposed field of at least 1127 x 1408 pixels?)");
    const COffsetMap map = ParseOffsetFile(offset, *newBytes);
    std::vector<int> values(map.samples.begin(), map.samples.end());
    std::vector<int> change(values.size());
    for (size_t i = 0; i < values.size(); ++i) change[i] = values[i] - (old ? old->samples[i] : 0);
    const CMapFigures now = Figures(values);
    std::cout << "offset map: " << offset << ", " << map.width << " x " << map.height << ": "
              << Describe(now) << (old ? "" : " (first calibration)") << "\n";
    if (old) std::cout << "change from the old map: " << Describe(Figures(change)) << "\n";
    std::cout << "spread (standard deviation) of the new map: "
              << DescribeSpread(Spread(values), fieldExposure)
              << (old ? "; of the change: " + DescribeSpread(Spread(change), fieldExposure) : "")
              << "\n";
    if (arguments.Has("map")) {
        const std::string mapFile = arguments.Text("map");
        const int scale = std::max({std::abs(now.low), std::abs(now.high), 1});
        try {
            WriteBitmap(mapFile, OffsetMapPicture(map, scale));
        } catch (const CHostError& e) {
            throw CHostError(std::string(e.what()) + " (the new map itself was written to " +
                             offset + ")");
        }
        std::cout << "map picture: " << mapFile << " (as on the display; full red +" << scale
                  << ", full blue -" << scale << ")\n";
    }
    return 0;
}

}  // namespace host
