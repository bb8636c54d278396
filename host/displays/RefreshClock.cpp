#include "displays/RefreshClock.h"

#include <algorithm>
#include <cmath>

namespace host {

// The period is the slope of the timestamps over the counter (least squares), which a late
// timestamp at either end moves less than the first and last alone would.
bool RateOf(const std::vector<CRefresh>& ticks, CRefreshRate& rate) {
    if (ticks.size() < 2) return false;
    const double n = static_cast<double>(ticks.size());
    double meanCount = 0, meanMs = 0;
    for (const CRefresh& tick : ticks) {
        meanCount += static_cast<double>(tick.count - ticks.front().count) / n;
        meanMs += static_cast<double>(tick.microseconds - ticks.front().microseconds) / 1000.0 / n;
    }
    double covariance = 0, variance = 0;
    for (const CRefresh& tick : ticks) {
        const double count = static_cast<double>(tick.count - ticks.front().count) - meanCount;
        const double ms =
            static_cast<double>(tick.microseconds - ticks.front().microseconds) / 1000.0 - meanMs;
        covariance += count * ms;
        variance += count * count;
    }
    if (variance <= 0 || covariance <= 0) return false;
    const double periodMs = covariance / variance;
    double squares = 0, longest = 0;
    for (size_t i = 1; i < ticks.size(); ++i) {
        const double periods = static_cast<double>(ticks[i].count - ticks[i - 1].count);
        const double ms =
            static_cast<double>(ticks[i].microseconds - ticks[i - 1].microseconds) / 1000.0;
        const double period = periods > 0 ? ms / periods : 0;
        squares += (period - periodMs) * (period - periodMs);
        longest = std::max(longest, period);
    }
    rate.hz = 1000.0 / periodMs;
    rate.refreshes = static_cast<int>(ticks.size() - 1);
    rate.spreadMs = std::sqrt(squares / rate.refreshes);
    rate.longestMs = longest;
    return true;
}

}  // namespace host
