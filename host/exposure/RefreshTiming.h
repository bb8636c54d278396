// An exposure counted in refreshes of the display: how many refreshes a time is, and how long a
// drawing was really on the screen by the display system's counter and timestamps.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "displays/RefreshClock.h"

namespace host {

// round(seconds x hz); at least 1 for a time above 0, so that no frame is left out.
int64_t RefreshesFor(double seconds, double hz);

// How long a drawing was on the screen, from the refresh it appeared at to the one at which the
// next drawing replaced it.
struct CTimeOnScreen {
    int64_t refreshes = 0;         // by the refresh counter
    double milliseconds = 0;       // by the timestamps
    int64_t wanted = 0;            // the count it was to stay for
    bool skipped = false;          // never shown: the display system replaced it first
    bool timestampsAgree = false;  // milliseconds within half a refresh of refreshes x period

    // On for exactly its count, by the counter and the timestamps alike.
    bool Exact() const { return !skipped && refreshes == wanted && timestampsAgree; }
};

CTimeOnScreen TimeOnScreen(const CPresentation& shown, const CRefresh& replaced, int64_t wanted,
                           double periodMs);

// "refreshes 1200 .. 1230: 30 refreshes, 500.02 ms, exact" or the same ending in what missed.
std::string DescribeTimeOnScreen(const CPresentation& shown, const CRefresh& replaced,
                                 const CTimeOnScreen& time);

// The drawings of an exposure as they were timed, and the summary of them.
struct CTimedDrawing {
    std::string what;  // "frame 3", "blank"
    CTimeOnScreen time;
};
// One line for the drawings on for exactly their count, then one for every drawing that missed,
// with by how much.
std::vector<std::string> SummariseTiming(const std::vector<CTimedDrawing>& drawings);

}  // namespace host
