// The checks calc-offset makes on a scan before the library measures it, on simulated scans of
// the offset test pattern: the field's resolution and edges, and the marks the calculation finds.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "pictures/Targets.h"
#include "scans/ScanChecks.h"
#include "support/FewerCases.h"
#include "support/PrintSimulation.h"

namespace {

using host::CGridPoint;
using host::CScanCheckOptions;

// The pattern with the marks of the given grid points left out (as dust or a faint mark would).
host::CPicture PatternWithout(const std::vector<CGridPoint>& points) {
    host::CPicture pattern = host::MakeOffsetPattern();
    for (const CGridPoint& p : points)
        pattern.FillGrey(2 * host::GridColumn(p.column), 2 * host::GridLine(p.row), 2, 2,
                         host::kDefaultFieldLevel);
    return pattern;
}

host::CPicture Scan(const host::CPicture& pattern, double scale, int margin = 40,
                    double degrees = 0) {
    simulation::CScanSettings settings;
    settings.scale = scale;
    settings.margin = margin;
    settings.degrees = degrees;
    return simulation::ExposeAndScan(simulation::IdealExposure(pattern),
                                     simulation::kRightPlacement, settings);
}

std::vector<std::pair<int, int>> Points(const std::vector<CGridPoint>& points) {
    std::vector<std::pair<int, int>> pairs;
    for (const CGridPoint& p : points) pairs.emplace_back(p.column, p.row);
    std::sort(pairs.begin(), pairs.end());
    return pairs;
}

TEST(ScanChecks, EveryMarkIsFoundAndOnlyTheMissingOnesAreReported) {
    const std::vector<CGridPoint> removed = {{0, 0}, {7, 3}, {12, 9}, {19, 15}};
    const host::CPicture whole = host::MakeOffsetPattern();
    const host::CPicture gaps = PatternWithout(removed);
    struct CCase {
        double scale;
        double degrees;
    };
    const std::vector<CCase> cases = {{1.0, 0}, {1.2, 0}, {1.5, 0}, {2.3, 0}, {1.5, 0.4}};
    const CScanCheckOptions options;
    // With fewer cases the coarsest scan, the nominal one and the crooked one.
    for (const CCase& c : testing_support::CasesToRun(cases, {0, 2, 4})) {
        SCOPED_TRACE(testing::Message() << c.scale << " scan pixels per display pixel, turned "
                                        << c.degrees << " degrees");
        const host::CPicture scan = Scan(whole, c.scale, 40, c.degrees);
        const host::CScanField field = host::MeasureScanField(scan, options);
        ASSERT_TRUE(field.found);
        EXPECT_NEAR(field.Across(), c.scale, 0.02);
        EXPECT_NEAR(field.Down(), c.scale, 0.02);
        EXPECT_TRUE(host::FindMissingMarks(scan, field, options).empty());

        const host::CPicture gapScan = Scan(gaps, c.scale, 40, c.degrees);
        const std::vector<CGridPoint> missing = host::FindMissingMarks(gapScan, field, options);
        EXPECT_EQ(Points(missing), Points(removed));
    }
    EXPECT_EQ(host::MarksReport({}), "marks: all 320 found");
    EXPECT_EQ(host::MarksReport({{0, 0}, {7, 3}}),
              "marks: 2 of 320 not found (grid column, row: display column, line): 0, 0: 31, "
              "992; 7, 3: 479, 800");
}

TEST(ScanChecks, CoarseScansAndCutOffFieldsAreRefused) {
    const host::CPicture pattern = host::MakeOffsetPattern();
    const CScanCheckOptions options;
    struct CCase {
        double scale;
        bool steady, coarse;  // accepted without and with --coarse
    } cases[] = {{1.0, false, false}, {1.2, false, true}, {1.5, true, true}};
    for (const CCase& c : cases) {
        SCOPED_TRACE(testing::Message() << c.scale << " scan pixels per display pixel");
        const host::CScanField field = host::MeasureScanField(Scan(pattern, c.scale), options);
        ASSERT_TRUE(field.found);
        const std::string steady = host::ResolutionProblem(field, false);
        const std::string coarse = host::ResolutionProblem(field, true);
        EXPECT_EQ(steady.empty(), c.steady) << steady;
        EXPECT_EQ(coarse.empty(), c.coarse) << coarse;
        if (!c.steady) {
            EXPECT_NE(steady.find("at least 1536 x 1920 scan pixels (--coarse accepts down to "
                                  "1.1, 1127 x 1408)"),
                      std::string::npos)
                << steady;
        }
    }
    const std::string problem =
        host::ResolutionProblem(host::MeasureScanField(Scan(pattern, 1.2), options), false);
    EXPECT_NE(problem.find("1.20 scan pixels per display pixel; below 1.5 repeated calibrations "
                           "drift"),
              std::string::npos)
        << problem;

    // A field with paper around it, and one cut off along one side.
    EXPECT_EQ(host::FieldEdgeProblem(Scan(pattern, 1.5, 5), options), "");
    const std::string cut = host::FieldEdgeProblem(Scan(pattern, 1.5, -3), options);
    EXPECT_NE(cut.find("reaches the scan's left edge: part of the print is cut off"),
              std::string::npos)
        << cut;
}

}  // namespace
