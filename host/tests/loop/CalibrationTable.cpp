// The offset calibration loop over a table of prints and scans: for each, an uneven display is
// calibrated again and again from prints of the offset test pattern lying right on the scanner,
// and every display pixel is scored after each calibration. Too slow for the test suite (a few
// seconds a calibration); run by hand to see how repeated calibrations behave:
//
//   kavrel-calibration-table [--rules N] [--calibrations N] [--factor N] [--degrees D] [--only TEXT]
//
// --rules sets "CalibrationRules" in the library's settings file (default: none, the library's
// default rules); --factor the correction factor (default 100: the simulated print and scan
// then correct about 70 % of the unevenness a calibration, 142 about all of it); --degrees lays
// every print that much crooked (clockwise); --only runs the cases whose name holds TEXT. Prints
// one Markdown table.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "support/CalibrationLoop.h"
#include "support/SettingsFolder.h"

namespace {

struct CCase {
    std::string print;
    double spread;  // (s, 1 - 2s, s) across and down
    double sigma;   // or a Gaussian of this many display pixels
    double noise;   // +- bytes
    double scale;   // scan samples per display pixel
    bool marksMissing;
};

std::vector<CCase> Cases() {
    struct CPrint {
        const char* name;
        double spread, sigma;
    };
    const CPrint prints[] = {{"sharp", 0, 0}, {"(1 2 1)/4", 0.25, 0}, {"Gaussian 1.0", 0, 1.0}};
    std::vector<CCase> cases;
    for (double scale : {2.3, 1.5})
        for (const CPrint& p : prints)
            for (double noise : {0.0, 1.5, 3.0})
                cases.push_back({p.name, p.spread, p.sigma, noise, scale, false});
    for (double scale : {2.3, 1.5}) cases.push_back({"Gaussian 1.0", 0, 1.0, 3.0, scale, true});
    return cases;
}

std::string Name(const CCase& c) {
    char text[128];
    std::snprintf(text, sizeof text, "%s, noise +-%.1f, %.1f per pixel%s", c.print.c_str(),
                  c.noise, c.scale, c.marksMissing ? ", 4 marks missing" : "");
    return text;
}

}  // namespace

int main(int argc, char** argv) {
    int calibrations = 12, factor = 100;
    double degrees = 0;
    std::string rules, only;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (!std::strcmp(argv[i], "--rules")) rules = argv[i + 1];
        else if (!std::strcmp(argv[i], "--calibrations")) calibrations = std::atoi(argv[i + 1]);
        else if (!std::strcmp(argv[i], "--only")) only = argv[i + 1];
        else if (!std::strcmp(argv[i], "--factor")) factor = std::atoi(argv[i + 1]);
        else if (!std::strcmp(argv[i], "--degrees")) degrees = std::atof(argv[i + 1]);
    }
    const testing_support::SettingsFolder settingsFile(
        rules.empty() ? "" : "[Imaging]\nCalibrationRules=" + rules + "\n");

    std::printf("| print and scan | calibrations | field cv | field beyond 1 %% | worst next to a mark | "
                "worst strip |\n|---|---|---|---|---|---|\n");
    for (const CCase& c : Cases()) {
        const std::string name = Name(c);
        if (!only.empty() && name.find(only) == std::string::npos) continue;
        simulation::CScanSettings settings;
        settings.scale = c.scale;
        settings.noise = c.noise;
        settings.paperSpread = c.spread;
        settings.paperSigma = c.sigma;
        settings.degrees = degrees;
        const std::vector<simulation::CGridPoint> missing =
            c.marksMissing ? std::vector<simulation::CGridPoint>{{3, 4}, {10, 0}, {19, 15}, {7, 9}}
                           : std::vector<simulation::CGridPoint>{};
        const std::vector<simulation::CEvenness> after =
            host_tests::CalibrateRepeatedly(settings, calibrations, missing, factor);
        for (int round : {0, 1, 2, 4, 8, 12}) {
            if (round >= static_cast<int>(after.size())) break;
            const simulation::CEvenness& e = after[round];
            std::printf("| %s | %d | %.3f %% | %ld | %.2f %% | %.2f %% |\n",
                        round == 0 ? name.c_str() : "", round, 100 * e.fieldCv,
                        e.beyondOnePercent, 100 * e.worstNextToMark, 100 * e.worstInStrips);
        }
        std::fflush(stdout);
    }
    return 0;
}
