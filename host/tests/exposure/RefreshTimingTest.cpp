// Drawings timed by the display's refreshes: how a time on the screen is judged, and when the
// refresh pacer makes each drawing, against a scripted display system.
#include <gtest/gtest.h>

#include <map>
#include <sstream>

#include "exposure/Pacing.h"
#include "exposure/RefreshTiming.h"
#include "support/Text.h"

namespace {

using host::CPresentation;
using host::CRefresh;
using testing_support::Contains;

constexpr double kPeriodMs = 16.667;

CRefresh At(uint64_t count, double offsetMs = 0) {
    return CRefresh{count, static_cast<uint64_t>((count * kPeriodMs + offsetMs) * 1000)};
}

TEST(RefreshTiming, CountsTheRefreshesOfAnExposureTime) {
    const struct {
        double seconds, hz;
        int64_t refreshes;
    } cases[] = {{0.5, 60.0, 30}, {0.5, 59.94, 30}, {1, 75, 75},    {0.01, 60, 1},
                 {0.0001, 60, 1}, {0, 60, 0},       {2.5, 144, 360}};
    for (const auto& c : cases)
        EXPECT_EQ(host::RefreshesFor(c.seconds, c.hz), c.refreshes)
            << c.seconds << " s at " << c.hz;
}

TEST(RefreshTiming, JudgesATimeOnTheScreenByTheCounterAndTheTimestampsAlike) {
    const struct {
        const char* what;
        CPresentation shown;
        CRefresh replaced;
        bool exact;
        const char* described;
    } cases[] = {
        {"on time", {At(100)}, At(130), true, "30 refreshes, 500.01 ms, exact"},
        {"a refresh late",
         {At(100)},
         At(131),
         false,
         "MISSED: 1 refresh too long (31 instead of 30)"},
        {"a refresh early", {At(100)}, At(129), false, "1 refresh too short (29 instead of 30)"},
        // The counter says 30, but the timestamps a refresh more: a counter that skipped.
        {"timestamps apart", {At(100)}, At(130, 16.0), false, "the timestamps do not agree"},
        {"jitter within half a refresh", {At(100, 3)}, At(130, -4), true, "exact"},
        {"never shown", {At(100), true}, At(130), false, "never shown"},
    };
    for (const auto& c : cases) {
        const host::CTimeOnScreen time = host::TimeOnScreen(c.shown, c.replaced, 30, kPeriodMs);
        EXPECT_EQ(time.Exact(), c.exact) << c.what;
        const std::string line = host::DescribeTimeOnScreen(c.shown, c.replaced, time);
        EXPECT_TRUE(Contains(line, c.described)) << c.what << ": " << line;
    }
}

TEST(RefreshTiming, SummaryNamesEveryMiss) {
    const host::CTimeOnScreen exact = host::TimeOnScreen({At(0)}, At(30), 30, kPeriodMs);
    const host::CTimeOnScreen late = host::TimeOnScreen({At(30)}, At(62), 30, kPeriodMs);
    const std::vector<std::string> lines =
        host::SummariseTiming({{"frame 1", exact}, {"frame 2", late}, {"frame 3", exact}});
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_TRUE(Contains(lines[0], "2 of 3 drawings")) << lines[0];
    EXPECT_TRUE(Contains(lines[1], "frame 2, 2 refreshes too long (32 instead of 30)")) << lines[1];
}

// A display system that presents every drawing at the refresh after the one it is made in,
// some of them a given number of refreshes later (a drawing that came too late).
class CScriptedClock : public host::CRefreshClock {
public:
    explicit CScriptedClock(std::map<int, uint64_t> late) : m_Late(std::move(late)) {}
    bool MeasureRate(int, host::CRefreshRate&) override { return true; }
    bool WaitForRefresh(uint64_t count, double, CRefresh& reached) override {
        m_nNow = std::max(m_nNow, count);
        reached = At(m_nNow);
        return true;
    }
    bool NextPresentation(CPresentation& presentation) override {
        const auto late = m_Late.find(m_nDrawings++);
        m_nNow += 1 + (late == m_Late.end() ? 0 : late->second);
        presentation = CPresentation{At(m_nNow)};
        return true;
    }

private:
    std::map<int, uint64_t> m_Late;  // by the drawing's number
    uint64_t m_nNow = 1000;
    int m_nDrawings = 0;
};

bool NeverInterrupted() { return false; }

// A dark start, frames of 30 refreshes each followed by a blank of 2, and a dark end.
std::vector<host::CTimedDrawing> Expose(CScriptedClock& clock, std::string& report) {
    std::ostringstream out;
    host::CRefreshPacer pacer(clock, kPeriodMs, NeverInterrupted, out);
    pacer.Drawn("the dark start", 0);
    for (int frame = 1; frame <= 3; ++frame) {
        EXPECT_TRUE(pacer.WaitForTurn());
        pacer.Drawn("frame " + std::to_string(frame), 30);
        EXPECT_TRUE(pacer.WaitForTurn());
        pacer.Drawn("blank " + std::to_string(frame), 2);
    }
    EXPECT_TRUE(pacer.WaitForTurn());
    pacer.Drawn("the dark end", 0);
    report = out.str();
    return pacer.Timed();
}

TEST(RefreshPacer, MakesEachDrawingSoThatItReplacesTheOneBeforeWhereItsCountEnds) {
    CScriptedClock clock(std::map<int, uint64_t>{});
    std::string report;
    const std::vector<host::CTimedDrawing> timed = Expose(clock, report);
    ASSERT_EQ(timed.size(), 6u) << report;
    for (const host::CTimedDrawing& drawing : timed) {
        EXPECT_TRUE(drawing.time.Exact()) << drawing.what << "\n" << report;
        EXPECT_EQ(drawing.time.refreshes, drawing.what[0] == 'f' ? 30 : 2) << drawing.what;
    }
    EXPECT_TRUE(Contains(report, "frame 1 on refreshes 1002 .. 1032: 30 refreshes")) << report;
}

TEST(RefreshPacer, ReportsTheDrawingThatALateSuccessorKeptOnTooLong) {
    // Drawing 3 is the second frame: it comes two refreshes late, so blank 1 stays two more.
    CScriptedClock clock(std::map<int, uint64_t>{{3, 2}});
    std::string report;
    const std::vector<host::CTimedDrawing> timed = Expose(clock, report);
    ASSERT_EQ(timed.size(), 6u);
    for (const host::CTimedDrawing& drawing : timed)
        EXPECT_EQ(drawing.time.Exact(), drawing.what != "blank 1") << drawing.what << "\n"
                                                                   << report;
    EXPECT_TRUE(Contains(report, "blank 1 on refreshes 1032 .. 1036: 4 refreshes")) << report;
    EXPECT_TRUE(Contains(report, "MISSED: 2 refreshes too long (4 instead of 2)")) << report;
}

}  // namespace
