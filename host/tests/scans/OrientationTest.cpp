// The orientation check of calc-offset on simulated scans of the offset test pattern.
#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "pictures/Targets.h"
#include "scans/Orientation.h"
#include "support/FewerCases.h"
#include "support/PrintSimulation.h"

namespace {

using host::ESide;
using simulation::CPlacement;

struct CExpected {
    CPlacement placement;
    ESide side, end;
};

// Where the notch shows in the scan for each placement of the print.
const CExpected kNotchPlaces[] = {
    {{0, false}, ESide::Top, ESide::Left},     {{1, false}, ESide::Right, ESide::Top},
    {{2, false}, ESide::Bottom, ESide::Right}, {{3, false}, ESide::Left, ESide::Bottom},
    {{0, true}, ESide::Top, ESide::Right},     {{1, true}, ESide::Right, ESide::Bottom},
    {{2, true}, ESide::Bottom, ESide::Left},   {{3, true}, ESide::Left, ESide::Top},
};

const simulation::CExposure& PatternExposure() {
    static const simulation::CExposure exposure =
        simulation::IdealExposure(host::MakeOffsetPattern());
    return exposure;
}

TEST(Orientation, FindsTheNotchInEveryPlacementAndAcceptsOnlyTheQuarterTurnClockwise) {
    for (const CExpected& expected : kNotchPlaces) {
        SCOPED_TRACE(testing::Message() << expected.placement.quarterTurns << " turns, mirrored "
                                        << expected.placement.mirrored);
        const host::CScanOrientation found = host::FindScanOrientation(
            simulation::ExposeAndScan(PatternExposure(), expected.placement), 1, 90, 100);
        ASSERT_TRUE(found.found) << found.problem;
        EXPECT_EQ(found.side, expected.side);
        EXPECT_EQ(found.end, expected.end);
        const bool right = expected.placement.quarterTurns == 1 && !expected.placement.mirrored;
        EXPECT_EQ(found.IsRight(), right);
        EXPECT_EQ(found.Advice().empty(), right) << found.Advice();
    }
}

TEST(Orientation, CopesWithScanResolutionAndACrookedPrint) {
    struct CCase {
        double scale, degrees, noise;
    } cases[] = {{1.0, 0, 1.5},    {2.2, 0, 1.5}, {1.5, 1.5, 1.5},
                 {1.5, -2.5, 1.5}, {1.2, 0.7, 6}, {0.8, 0, 3}};
    std::vector<std::pair<CCase, CPlacement>> scans;
    for (const CCase& c : cases)
        for (CPlacement placement :
             {simulation::kRightPlacement, CPlacement{3, false}, CPlacement{1, true}})
            scans.emplace_back(c, placement);
    // With fewer cases every case once, each placement twice.
    for (const auto& [c, placement] : testing_support::CasesToRun(scans, {0, 4, 8, 9, 13, 17})) {
        simulation::CScanSettings settings;
        settings.scale = c.scale;
        settings.degrees = c.degrees;
        settings.noise = c.noise;
        SCOPED_TRACE(testing::Message() << "scale " << c.scale << ", " << c.degrees
                                        << " degrees, noise " << c.noise << ", "
                                        << placement.quarterTurns << " turns");
        const host::CScanOrientation found = host::FindScanOrientation(
            simulation::ExposeAndScan(PatternExposure(), placement, settings), 1, 90, 100);
        ASSERT_TRUE(found.found) << found.problem;
        EXPECT_EQ(found.IsRight(), placement.quarterTurns == 1 && !placement.mirrored);
        EXPECT_NEAR(found.depth, found.expectedDepth, 0.35 * found.expectedDepth);
    }
}

TEST(Orientation, AdviceNamesTheTurnOrTheMirrorImage) {
    auto advice = [](CPlacement placement) {
        return host::FindScanOrientation(simulation::ExposeAndScan(PatternExposure(), placement), 1,
                                         90, 100)
            .Advice();
    };
    EXPECT_NE(advice({3, false}).find("half a turn"), std::string::npos);
    // Which way: one more quarter turn of the simulated placement (clockwise as the scan shows
    // it) brings placement 0 right, one less placement 2.
    EXPECT_NE(advice({0, false}).find("a quarter turn on the scanner, clockwise as the scan shows "
                                      "it, so that the edge now along the scan's top side"),
              std::string::npos)
        << advice({0, false});
    EXPECT_NE(advice({2, false}).find("a quarter turn on the scanner, counter-clockwise as the "
                                      "scan shows it, so that the edge now along the scan's "
                                      "bottom side"),
              std::string::npos)
        << advice({2, false});
    for (int turns = 0; turns < 4; ++turns)
        EXPECT_NE(advice({turns, true}).find("mirror image"), std::string::npos) << turns;
    EXPECT_NE(advice({0, false}).find("on the top side, near the left"), std::string::npos);
}

TEST(Orientation, RefusesScansWithoutFieldNotchOrProportions) {
    // A blank scan, the pattern without its notch, and a square field.
    host::CPicture blank(800, 1000, 250);
    EXPECT_FALSE(host::FindScanOrientation(blank, 1, 90, 100).found);

    host::CPicture pattern = host::MakeOffsetPattern();
    pattern.FillGrey(0, 0, host::kImageWidth, 4, host::kDefaultFieldLevel);
    const host::CScanOrientation noNotch = host::FindScanOrientation(
        simulation::ExposeAndScan(simulation::IdealExposure(pattern), simulation::kRightPlacement),
        1, 90, 100);
    EXPECT_FALSE(noNotch.found);
    EXPECT_NE(noNotch.problem.find("notch"), std::string::npos) << noNotch.problem;

    host::CPicture square(900, 900, 250);
    square.FillGrey(100, 100, 700, 700, 60);
    const host::CScanOrientation squareField = host::FindScanOrientation(square, 1, 90, 100);
    EXPECT_FALSE(squareField.found);
    EXPECT_NE(squareField.problem.find("5:4"), std::string::npos) << squareField.problem;

    // The field is told from the paper as the library tells it: at threshold 20 % the field
    // (about 66 of 250) counts as paper.
    EXPECT_FALSE(
        host::FindScanOrientation(
            simulation::ExposeAndScan(PatternExposure(), simulation::kRightPlacement), 1, 20, 100)
            .found);
}

}  // namespace
