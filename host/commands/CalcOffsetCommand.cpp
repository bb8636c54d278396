// calc-offset: a new offset map from a scan of the exposed offset test pattern.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <iostream>
#include <optional>

#include "commands/Arguments.h"
#include "commands/Commands.h"
#include "common/Errors.h"
#include "files/FileRequirements.h"
#include "files/Files.h"
#include "history/CalibrationLog.h"
#include "history/History.h"
#include "history/OldCalibration.h"
#include "library/Kavrel.h"
#include "pictures/Bitmap.h"
#include "pictures/Pictures.h"
#include "pictures/Targets.h"
#include "scans/Orientation.h"
#include "scans/ScanChecks.h"

namespace host {

namespace {

// Below this share of the field changed above the scan's noise, a calibration has found nothing
// to correct: what is left is about as many samples as noise alone pushes over the limit.
constexpr double kNothingAboveNoise = 0.001;

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

struct CCalcOffsetOptions {
    std::string scanFile;
    std::string offset;
    int colour = 1;
    int threshold = 90;
    int factor = 100;
    std::optional<std::string> map;
    std::optional<std::string> lut;
    bool checkOrientation = true;
    bool coarse = false;
    bool again = false;
    std::string library;
};

std::optional<CCalcOffsetOptions> ParseOptions(const CArgs& args) {
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
         {"again", "",
          "apply a scan to the map that it already made (its correction then goes\n"
          "on top of itself)"},
         {"lut", "FILE",
          "the LUT the pattern was exposed with, for the map's spread in\n"
          "percent of the field's exposure (default: the library's default table)"}},
        1, 1, true);
    if (!arguments.ParseOrShowHelp(args)) return std::nullopt;
    CCalcOffsetOptions options;
    options.scanFile = arguments.Positionals()[0];
    options.offset = arguments.Required("offset");
    options.colour = arguments.Integer("color", 1, 0, 2);
    options.threshold = arguments.Integer("threshold", 90, 1, 100);
    options.factor = arguments.Integer("factor", 100, 1, 1638);
    if (arguments.Has("map")) options.map = arguments.Text("map");
    if (arguments.Has("lut")) options.lut = arguments.Text("lut");
    options.checkOrientation = !arguments.Has("skip-orientation-check");
    options.coarse = arguments.Has("coarse");
    options.again = arguments.Has("again");
    options.library = arguments.Text("library");
    return options;
}

// The files named on the command line, before the scan is read: every output is checked before
// the library rewrites the map, so that a retry after a failure does not apply the correction
// twice. Returns the exposure of the pattern's field, for the report.
int CheckFiles(const CCalcOffsetOptions& options) {
    if (options.map) RequireExtension(*options.map, ".bmp", "--map");
    RequireFile(options.scanFile, "scan");
    RequireFolderOf(options.offset, "--offset");
    if (options.map) CheckWritable(*options.map, "--map");
    return FieldExposure(options.lut ? ReadLutForReport(*options.lut) : DefaultLutTable());
}

CPicture ReadScan(const CCalcOffsetOptions& options, const CScanCheckOptions& checks) {
    RequireBottomUpScan(options.scanFile);
    CPicture scan = ReadBitmap(options.scanFile);
    RequireWholeField(options.scanFile, scan, checks);
    return scan;
}

// Where the scan shows the pattern; nothing when the check was skipped. Throws CHostError for a
// scan placed otherwise than the library reads it.
std::optional<CScanOrientation> CheckPlacement(const CCalcOffsetOptions& options,
                                               const CPicture& scan) {
    if (!options.checkOrientation) return std::nullopt;
    const CScanOrientation orientation =
        FindScanOrientation(scan, options.colour, options.threshold, options.factor);
    if (!orientation.found) throw CHostError(options.scanFile + ": " + orientation.problem);
    if (!orientation.IsRight()) throw CHostError(options.scanFile + ": " + orientation.Advice());
    return orientation;
}

// The library's calculation: the new offset file, or nothing when the library wrote none.
std::optional<std::vector<uint8_t>> CalculateMap(CKavrel& kavrel, const CCalcOffsetOptions& options,
                                                 const CFileState& before) {
    kavrel.DisableErrorWindow(1);
    kavrel.SetOffsetFile(options.offset.c_str());
    kavrel.SetScanFile(options.scanFile.c_str());
    kavrel.SetThreshold(options.threshold);
    kavrel.SetCorrectionFactor(options.factor);
    kavrel.CalcOffset(options.colour);
    // Take the new map into the library as a host does; the library itself keeps the old one.
    kavrel.SetOffsetFile(options.offset.c_str());
    return before.NewContents(options.offset);
}

void ReportScan(const CCalcOffsetOptions& options, const CPicture& scan,
                const std::optional<CScanOrientation>& orientation) {
    std::cout << "scan: " << options.scanFile << ", " << scan.Width() << " x " << scan.Height();
    if (!orientation) {
        std::cout << ", orientation not checked\n";
        return;
    }
    std::cout << ", exposed field " << orientation->left << ".." << orientation->right << " x "
              << orientation->top << ".." << orientation->bottom << ", notch "
              << orientation->NotchPlace() << ": placed right\n";
}

// How much of the change the scan resolves above its noise; when nothing, that calibrating
// again is pointless.
void ReportChangeAboveNoise(const std::vector<int>& change, int width, int height,
                            double pixelNoise) {
    if (pixelNoise <= 0) return;
    const double share = ShareAboveNoise(change, width, height, pixelNoise);
    char text[200];
    std::snprintf(text, sizeof text,
                  "change above the scan's noise (%.1f levels a display pixel): %.1f %% of the "
                  "field\n",
                  pixelNoise, 100 * share);
    std::cout << text;
    if (share < kNothingAboveNoise)
        std::cout << "the display is as even as this scan can show: further calibrations will "
                     "not improve it\n";
}

void ReportMap(const CCalcOffsetOptions& options, const COffsetMap& map,
               const std::optional<COffsetMap>& old, int fieldExposure, double pixelNoise) {
    const std::string& offset = options.offset;
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
    if (old) ReportChangeAboveNoise(change, map.width, map.height, pixelNoise);
    if (!options.map) return;
    const int scale = std::max({std::abs(now.low), std::abs(now.high), 1});
    try {
        WriteBitmap(*options.map, OffsetMapPicture(map, scale));
    } catch (const CHostError& e) {
        throw CHostError(std::string(e.what()) + " (the new map itself was written to " + offset +
                         ")");
    }
    std::cout << "map picture: " << *options.map << " (as on the display; full red +" << scale
              << ", full blue -" << scale << ")\n";
}

}  // namespace

int RunCalcOffset(const CArgs& args) {
    const std::optional<CCalcOffsetOptions> options = ParseOptions(args);
    if (!options) return 0;
    const int fieldExposure = CheckFiles(*options);
    const CScanCheckOptions checks{options->colour, options->threshold, options->factor,
                                   options->coarse};
    const CPicture scan = ReadScan(*options, checks);
    ReportScan(*options, scan, CheckPlacement(*options, scan));
    const std::string marks = CheckFieldAndMarks(options->scanFile, scan, checks);
    if (!marks.empty()) std::cout << marks << "\n";

    const std::string& offset = options->offset;
    CCalibrationFile file(offset, "--offset", kMaxOffsetFileBytes);
    const CFileState before = CFileState::Of(offset);
    const std::optional<COffsetMap> old = OldOffsetMap(offset, before);

    file.SetInput(Digest(ReadWholeFile(options->scanFile)), options->scanFile, "the scan",
                  options->again, " (--again applies it all the same)");
    if (file.Waited()) std::cerr << "warning: " << file.WaitNote() << "\n";

    CKavrel kavrel(options->library);
    file.KeepBefore();
    const std::optional<std::vector<uint8_t>> written = CalculateMap(kavrel, *options, before);
    const std::string unrecorded = file.Finish(written.has_value());
    if (!unrecorded.empty()) std::cerr << "warning: " << unrecorded << "\n";
    if (!written)
        throw CHostError(offset +
                         ": the library wrote no new offset map (can the file be written? "
                         "does colour " +
                         std::to_string(options->colour) +
                         " of the scan show an exposed field of at least 1127 x 1408 pixels?)");
    const double pixelNoise = MeasurementNoise(scan, MeasureScanField(scan, checks), checks);
    ReportMap(*options, ParseOffsetFile(offset, *written), old, fieldExposure, pixelNoise);
    return 0;
}

}  // namespace host
