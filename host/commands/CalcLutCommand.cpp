// calc-lut: a new LUT from the densitometer readings of the exposed grey scale.
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
#include "pictures/Pictures.h"
#include "readings/Readings.h"
#include "readings/ReadingsChecks.h"

namespace host {

namespace {

// The readings' doubts to print: a refusal ends the command unless forced, then it is one more.
// densities: plain values were read as densities.
std::vector<std::string> ReadingsDoubts(const std::string& file, const CReadingsFile& readings,
                                        bool densities, bool force) {
    CReadingsCheck check = CheckReadingsFile(readings, densities);
    if (!check.refusal.empty() && !force)
        throw CHostError(file + ": " + check.refusal + " (--force calibrates them all the same)");
    if (!check.refusal.empty()) check.warnings.insert(check.warnings.begin(), check.refusal);
    return check.warnings;
}

struct CCalcLutOptions {
    std::string readingsFile;
    std::string lut;
    std::string lutOption = "--lut";  // the option that named lut
    CReadingsFormat format;
    bool force = false;
    bool again = false;
    std::optional<std::string> plot;
    std::string library;
};

// The colours of a colour paper's three tables: the option naming each one's LUT file and the
// density that its exposure forms.
struct CColourTable {
    const char* option;
    const char* channel;
};
constexpr CColourTable kColourTables[] = {
    {"lut-blue", "D_BLUE"}, {"lut-green", "D_GREEN"}, {"lut-red", "D_RED"}};

// calc-lut's options: the table or a colour paper's three, and how the readings are read.
std::vector<COption> Options() {
    std::vector<COption> options =
        LutOptions("the LUT file to recalibrate (or the three below)", [](int colour) {
            return std::string("the ") + ColourName(colour) +
                   " exposures' LUT file, from the readings' " + kColourTables[colour].channel;
        });
    const std::vector<COption> reading = {
        {"density", "",
         "the readings are densities (1.50, or 1,50 in a file without points)\n"
         "instead of hundredths (150)"},
        {"channel", "NAME",
         "the column of a CGATS or CSV table to read: D_VIS, D_RED, D_GREEN,\n"
         "D_BLUE, XYZ_Y or a CSV header (default D_VIS, else XYZ_Y, else the\n"
         "only density column)"},
        {"force", "",
         "calibrate readings that cannot be right (patches in the wrong\n"
         "order, all equal, ...) all the same"},
        {"again", "",
         "apply readings to the table that they already made (their correction\n"
         "then goes on top of itself)"},
        {"plot", "FILE.svg", "draw the table before and after as an SVG plot"}};
    options.insert(options.end(), reading.begin(), reading.end());
    return options;
}

// One calibration per table: the one --lut, or each colour's of --lut-blue, --lut-green, --lut-red.
std::optional<std::vector<CCalcLutOptions>> ParseOptions(const CArgs& args) {
    CArguments arguments(
        "calc-lut",
        "READINGS --lut FILE [options]\n"
        "       kavrel-host calc-lut READINGS --lut-blue B --lut-green G --lut-red R",
        "Hands the densitometer readings of the exposed grey scale (see 'targets') to the\n"
        "library, which computes a new table from them and the table in the LUT file and writes\n"
        "it back to that file. A LUT file that does not exist yet is created; the calculation\n"
        "then starts from the library's default table. Afterwards 'expose --lut FILE' uses it.\n"
        "\n"
        "READINGS is a text or CSV file of 48 readings in the order of the patch numbers: reading\n"
        "0 the reference patch, 1 to 46 the grey patches, 47 unused (it may be left out). One\n"
        "value per line or several separated by commas; '#' starts a comment. Values are\n"
        "hundredths of a density (150 for 1.50), or densities with --density.\n"
        "A CGATS file exported by a densitometer's software (BEGIN_DATA_FORMAT ... END_DATA)\n"
        "or a CSV file whose first line names the columns is read as a table, one row per\n"
        "patch: densities from the column D_VIS (else XYZ_Y, reflectance in %, else the only\n"
        "density column), or from the column --channel names.\n"
        "\n"
        "A colour paper: --lut-blue, --lut-green and --lut-red calibrate each colour's table\n"
        "from the table's D_BLUE, D_GREEN and D_RED column, each as a run with --lut FILE\n"
        "--channel D_... would (its own checks, its own earlier versions).",
        Options(), 1, 1, true);
    if (!arguments.ParseOrShowHelp(args)) return std::nullopt;
    CCalcLutOptions options;
    options.readingsFile = arguments.Positionals()[0];
    options.format.densities = arguments.Has("density");
    options.format.channel = arguments.Text("channel");
    options.force = arguments.Has("force");
    options.again = arguments.Has("again");
    if (arguments.Has("plot")) options.plot = arguments.Text("plot");
    options.library = arguments.Text("library");
    std::vector<CCalcLutOptions> tables;
    for (const CColourTable& colour : kColourTables) {
        if (!arguments.Has(colour.option)) continue;
        tables.push_back(options);
        tables.back().lut = arguments.Text(colour.option);
        tables.back().lutOption = std::string("--") + colour.option;
        tables.back().format.channel = colour.channel;
    }
    if (tables.empty()) {
        options.lut = arguments.Required("lut");
        tables.push_back(options);
    } else if (tables.size() != 3 || arguments.Has("lut") || arguments.Has("channel") ||
               arguments.Has("plot")) {
        throw CUsageError(
            "calc-lut: give --lut-blue, --lut-green and --lut-red together, without --lut, "
            "--channel or --plot");
    }
    return tables;
}

// What the checks found: the readings, with the doubts to print about them.
struct CCheckedReadings {
    std::vector<uint16_t> readings;
    std::string source;      // the table's column, or empty
    bool densities = false;  // given as densities
    std::vector<std::string> doubts;
};

CCheckedReadings CheckInputs(const CCalcLutOptions& options) {
    if (options.plot) RequireExtension(*options.plot, ".svg", "--plot");
    RequireFile(options.readingsFile, "readings");
    RequireFolderOf(options.lut, options.lutOption);
    CCheckedReadings checked;
    CReadingsFile file = ReadReadingsFile(options.readingsFile, options.format);
    // --density's own doubt: hundredths typed into a file read as densities.
    checked.doubts = ReadingsDoubts(options.readingsFile, file,
                                    options.format.densities && file.source.empty(), options.force);
    checked.readings = std::move(file.readings);
    checked.source = std::move(file.source);
    checked.densities = file.densities;
    // Every output is checked before the library rewrites the table, so that a retry after a
    // failure does not apply the correction twice.
    if (options.plot) CheckWritable(*options.plot, "--plot");
    return checked;
}

// The library's calculation: the new LUT file, or nothing when the library wrote none.
std::optional<std::vector<uint8_t>> CalculateTable(CKavrel& kavrel, const std::string& lut,
                                                   const std::vector<uint16_t>& readings,
                                                   const CFileState& before) {
    kavrel.DisableErrorWindow(1);
    kavrel.SetLutFile(lut.c_str());
    for (int i = 0; i < kReadingCount; ++i) kavrel.SetDensiValue(i, readings[i]);
    kavrel.CalcLut();
    // Take the new table into the library as a host does; the library itself keeps the old one.
    kavrel.SetLutFile(lut.c_str());
    return before.NewContents(lut);
}

void PrintWarnings(const std::vector<std::string>& doubts, const CGammaCheck& gamma) {
    for (const std::string& doubt : doubts) std::cerr << "warning: " << doubt << "\n";
    if (!gamma.warning.empty()) std::cerr << "warning: " << gamma.warning << "\n";
}

// A reading as the file gave it: hundredths, or a density.
std::string AsGiven(uint16_t hundredths, bool densities) {
    if (!densities) return std::to_string(hundredths);
    char text[16];
    std::snprintf(text, sizeof text, "%u.%02u", hundredths / 100u, hundredths % 100u);
    return text;
}

void Report(const CCalcLutOptions& options, const CCheckedReadings& checked,
            const CGammaCheck& gamma, bool firstCalibration, const CLutTable& old,
            const CLutTable& table, const CReadingsPlot& plot) {
    const std::string& lut = options.lut;
    const std::vector<uint16_t>& readings = checked.readings;
    const bool densities = checked.densities;
    std::cout << gamma.description << "\n";
    std::cout << "readings: " << options.readingsFile
              << (checked.source.empty() ? "" : " (" + checked.source + ")") << ": reference "
              << AsGiven(readings[0], densities) << ", patches " << AsGiven(readings[1], densities)
              << " (value 252) .. " << AsGiven(readings[46], densities) << " (value 4)"
              << (densities ? "" : " hundredths") << "\n"
              << "before: "
              << (firstCalibration ? "the library's default table (no " + lut + " yet)" : lut)
              << ": " << LutSummary(old) << "\n"
              << "after:  " << lut << ": " << LutSummary(table) << "\n";
    if (!options.plot) return;
    const std::string svg =
        LutPlotSvg(old, table, "LUT " + lut + " before and after calc-lut", &plot);
    try {
        WriteFileSafely(*options.plot, std::vector<uint8_t>(svg.begin(), svg.end()));
    } catch (const CHostError& e) {
        throw CHostError(std::string(e.what()) + " (the new table itself was written to " + lut +
                         ")");
    }
    std::cout << "plot: " << *options.plot << "\n";
}

// One table calibrated from its checked readings, as a run of its own.
void Calibrate(const CCalcLutOptions& options, const CCheckedReadings& checked) {
    const std::string& lut = options.lut;
    CCalibrationFile file(lut, options.lutOption, kMaxLutFileBytes);
    const CFileState before = CFileState::Of(lut);
    const CLutTable old = OldLutTable(lut, before);

    CKavrel kavrel(options.library);
    const CLibrarySetting gammaSetting = ReadLibrarySetting(kavrel.Path(), "Imaging", "Gamma", 180);
    const CGammaCheck gamma = CheckGamma(gammaSetting);
    file.SetInput(ReadingsDigest(checked.readings), options.readingsFile, "the readings",
                  options.again, " (--again applies them all the same)");
    PrintWarnings(checked.doubts, gamma);
    if (file.Waited()) std::cerr << "warning: " << file.WaitNote() << "\n";
    file.KeepBefore();
    const std::optional<std::vector<uint8_t>> written =
        CalculateTable(kavrel, lut, checked.readings, before);
    const std::string unrecorded = file.Finish(written.has_value());
    if (!unrecorded.empty()) std::cerr << "warning: " << unrecorded << "\n";
    if (!written)
        throw CHostError(
            lut + ": the library wrote no new table" +
            (gamma.unusable.empty() ? " (can the file be written?)" : ": " + gamma.unusable));

    const CLutTable table = ParseLutFile(lut, *written);
    Report(options, checked, gamma, !before.bytes, old, table,
           CReadingsPlot{checked.readings, gammaSetting.value, options.readingsFile});
}

}  // namespace

int RunCalcLut(const CArgs& args) {
    const std::optional<std::vector<CCalcLutOptions>> tables = ParseOptions(args);
    if (!tables) return 0;
    // Every table's readings checked before any table is written.
    std::vector<CCheckedReadings> checked;
    for (const CCalcLutOptions& table : *tables) checked.push_back(CheckInputs(table));
    for (size_t i = 0; i < tables->size(); ++i) {
        if (tables->size() > 1)
            std::cout << (i ? "\n" : "") << (*tables)[i].format.channel << " -> "
                      << (*tables)[i].lut << "\n";
        Calibrate((*tables)[i], checked[i]);
    }
    return 0;
}

}  // namespace host
