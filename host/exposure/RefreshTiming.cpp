#include "exposure/RefreshTiming.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace host {

int64_t RefreshesFor(double seconds, double hz) {
    if (seconds <= 0 || hz <= 0) return 0;
    return std::max<int64_t>(1, std::llround(seconds * hz));
}

CTimeOnScreen TimeOnScreen(const CPresentation& shown, const CRefresh& replaced, int64_t wanted,
                           double periodMs) {
    CTimeOnScreen time;
    time.wanted = wanted;
    time.skipped = shown.skipped;
    time.refreshes = static_cast<int64_t>(replaced.count - shown.shown.count);
    time.milliseconds = (static_cast<double>(replaced.microseconds) -
                         static_cast<double>(shown.shown.microseconds)) /
                        1000.0;
    time.timestampsAgree = std::fabs(time.milliseconds - static_cast<double>(time.refreshes) *
                                                             periodMs) <= periodMs / 2;
    return time;
}

namespace {

std::string Refreshes(int64_t n) {
    return std::to_string(n) + (n == 1 || n == -1 ? " refresh" : " refreshes");
}

// What went wrong with a drawing that was not on for exactly its count.
std::string Miss(const CTimeOnScreen& time) {
    if (time.skipped) return "never shown (replaced before its refresh)";
    const int64_t off = time.refreshes - time.wanted;
    std::string text;
    if (off != 0)
        text = Refreshes(std::llabs(off)) + (off > 0 ? " too long" : " too short") + " (" +
               std::to_string(time.refreshes) + " instead of " + std::to_string(time.wanted) + ")";
    if (!time.timestampsAgree)
        text += std::string(text.empty() ? "" : "; ") +
                "the timestamps do not agree with the refresh count";
    return text;
}

}  // namespace

std::string DescribeTimeOnScreen(const CPresentation& shown, const CRefresh& replaced,
                                 const CTimeOnScreen& time) {
    char line[160];
    std::snprintf(line, sizeof line, "refreshes %llu .. %llu: %s, %.2f ms, ",
                  static_cast<unsigned long long>(shown.shown.count),
                  static_cast<unsigned long long>(replaced.count),
                  Refreshes(time.refreshes).c_str(), time.milliseconds);
    return line + (time.Exact() ? std::string("exact") : "MISSED: " + Miss(time));
}

std::vector<std::string> SummariseTiming(const std::vector<CTimedDrawing>& drawings) {
    size_t exact = 0;
    std::vector<std::string> misses;
    for (const CTimedDrawing& drawing : drawings) {
        if (drawing.time.Exact())
            ++exact;
        else
            misses.push_back("  missed: " + drawing.what + ", " + Miss(drawing.time));
    }
    std::vector<std::string> lines{std::to_string(exact) + " of " +
                                   std::to_string(drawings.size()) +
                                   " drawings on the screen for exactly their count of refreshes"};
    lines.insert(lines.end(), misses.begin(), misses.end());
    return lines;
}

}  // namespace host
