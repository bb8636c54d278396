// calc-lut: a new LUT from the densitometer readings of the exposed grey scale.
#include <filesystem>
#include <iostream>
#include <optional>

#include "Arguments.h"
#include "Commands.h"
#include "Errors.h"
#include "Files.h"
#include "History.h"
#include "Kavrel.h"
#include "Pictures.h"
#include "Readings.h"
#include "ReadingsChecks.h"

namespace host {

namespace {

std::string Summary(const CLutTable& table) {
    std::string text;
    for (int input : {0, 64, 128, 192, 224, 255})
        if (input < static_cast<int>(table.entries.size()))
            text += (text.empty() ? "" : ", ") + std::to_string(input) + " -> " +
                    std::to_string(table.entries[input]);
    return text;
}

// A file's contents and time of last change, to tell whether the library rewrote it.
struct CFileState {
    std::optional<std::vector<uint8_t>> bytes;
    std::filesystem::file_time_type time{};

    static CFileState Of(const std::string& path) {
        CFileState state;
        state.bytes = FileExists(path) ? TryReadWholeFile(path) : std::nullopt;
        std::error_code error;
        if (state.bytes)
            state.time = std::filesystem::last_write_time(std::filesystem::path(path), error);
        return state;
    }
    bool operator==(const CFileState& other) const {
        return bytes == other.bytes && time == other.time;
    }
};

// The readings' doubts to print: a refusal ends the command unless forced, then it is one more.
std::vector<std::string> ReadingsDoubts(const std::string& file,
                                        const std::vector<uint16_t>& readings, bool densities,
                                        bool force) {
    CReadingsCheck check = CheckReadings(readings, densities);
    if (!check.refusal.empty() && !force)
        throw CHostError(file + ": " + check.refusal + " (--force calibrates them all the same)");
    if (!check.refusal.empty()) check.warnings.insert(check.warnings.begin(), check.refusal);
    return check.warnings;
}

}  // namespace

int RunCalcLut(const CArgs& args) {
    CArguments arguments(
        "calc-lut", "READINGS --lut FILE [options]",
        "Hands the densitometer readings of the exposed grey scale (see 'targets') to the\n"
        "library, which computes a new table from them and the table in the LUT file and writes\n"
        "it back to that file. A LUT file that does not exist yet is created; the calculation\n"
        "then starts from the library's default table. Afterwards 'expose --lut FILE' uses it.\n"
        "\n"
        "READINGS is a text or CSV file of 48 readings in the order of the patch numbers: reading\n"
        "0 the reference patch, 1 to 46 the grey patches, 47 unused (it may be left out). One\n"
        "value per line or several separated by commas; '#' starts a comment. Values are\n"
        "hundredths of a density (150 for 1.50), or densities with --density.",
        {{"lut", "FILE", "the LUT file to recalibrate (required)"},
         {"density", "",
          "the readings are densities (1.50, or 1,50 in a file without points)\n"
          "instead of hundredths (150)"},
         {"force", "",
          "calibrate readings that cannot be right (patches in the wrong\n"
          "order, all equal, ...) all the same"},
         {"plot", "FILE.svg", "draw the table before and after as an SVG plot"}},
        1, 1, true);
    arguments.Parse(args);
    if (arguments.HelpWanted()) {
        std::cout << arguments.Help();
        return 0;
    }
    if (!arguments.Has("lut")) throw CUsageError("calc-lut: --lut FILE is required");
    const std::string readingsFile = arguments.Positionals()[0];
    const std::string lut = arguments.Text("lut");
    if (arguments.Has("plot")) RequireExtension(arguments.Text("plot"), ".svg", "--plot");
    RequireFile(readingsFile, "readings");
    RequireFolderOf(lut, "--lut");
    const std::vector<uint16_t> readings =
        ReadDensitometerFile(readingsFile, arguments.Has("density"));
    const std::vector<std::string> doubts =
        ReadingsDoubts(readingsFile, readings, arguments.Has("density"), arguments.Has("force"));

    // Every output is checked before the library rewrites the table, so that a retry after a
    // failure does not apply the correction twice.
    if (arguments.Has("plot")) CheckWritable(arguments.Text("plot"), "--plot");
    CCalibrationFile file(lut, "--lut", kMaxLutFileBytes);
    const CFileState before = CFileState::Of(lut);
    const CLutTable old = before.bytes ? ParseLutFile(lut, *before.bytes) : DefaultLutTable();
    if (before.bytes && old.entries.size() != 256)
        throw CHostError(lut + ": a LUT file of " + std::to_string(old.entries.size()) +
                         " entries; the calculation needs one of 256");

    CKavrel kavrel(arguments.Text("library"));
    const CGammaCheck gamma =
        CheckGamma(ReadLibrarySetting(kavrel.Path(), "Imaging", "Gamma", 180));
    for (const std::string& doubt : doubts) std::cerr << "warning: " << doubt << "\n";
    if (!gamma.warning.empty()) std::cerr << "warning: " << gamma.warning << "\n";
    file.KeepBefore();
    kavrel.DisableErrorWindow(1);
    kavrel.SetLutFile(lut.c_str());
    for (int i = 0; i < kReadingCount; ++i) kavrel.SetDensiValue(i, readings[i]);
    kavrel.CalcLut();
    // Take the new table into the library as a host does; the library itself keeps the old one.
    kavrel.SetLutFile(lut.c_str());

    const CFileState after = CFileState::Of(lut);
    file.Finish(after.bytes && !(after == before));
    if (!after.bytes || after == before)
        throw CHostError(
            lut + ": the library wrote no new table" +
            (gamma.unusable.empty() ? " (can the file be written?)" : ": " + gamma.unusable));
    const CLutTable table = ParseLutFile(lut, *after.bytes);

    std::cout << gamma.description << "\n";
    std::cout << "readings: " << readingsFile << ": reference " << readings[0] << ", patches "
              << readings[1] << " (value 252) .. " << readings[46] << " (value 4)\n"
              << "before: "
              << (before.bytes ? lut : "the library's default table (no " + lut + " yet)") << ": "
              << Summary(old) << "\n"
              << "after:  " << lut << ": " << Summary(table) << "\n";
    if (arguments.Has("plot")) {
        const std::string plot = arguments.Text("plot");
        const std::string svg = LutPlotSvg(old, table, "LUT " + lut + " before and after calc-lut");
        try {
            WriteFileSafely(plot, std::vector<uint8_t>(svg.begin(), svg.end()));
        } catch (const CHostError& e) {
            throw CHostError(std::string(e.what()) + " (the new table itself was written to " +
                             lut + ")");
        }
        std::cout << "plot: " << plot << "\n";
    }
    return 0;
}

}  // namespace host
