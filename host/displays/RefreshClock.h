// The refreshes of the screen that the library draws on, from the display system's own counter
// and timestamps: its rate, the waiting for a given refresh, and the refresh at which each of the
// library's drawings reached the screen. The host watches the library's window through a
// connection of its own, so that the library's interface stays as it is.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "base/NonCopyable.h"

namespace host {

// One refresh: the display system's refresh counter and its time in microseconds.
struct CRefresh {
    uint64_t count = 0;
    uint64_t microseconds = 0;
};

// The rate measured from the timestamps of consecutive refreshes.
struct CRefreshRate {
    double hz = 0;
    double spreadMs = 0;  // standard deviation of the refresh periods
    double longestMs = 0;
    int refreshes = 0;  // periods measured
};

// The rate of the refreshes, consecutive or not, in order; false for fewer than two.
bool RateOf(const std::vector<CRefresh>& refreshes, CRefreshRate& rate);

// A drawing of the library on the screen: the refresh at which it appeared; skipped when the
// display system replaced it with a later one before it was ever shown.
struct CPresentation {
    CRefresh shown;
    bool skipped = false;
};

class CRefreshClock : private kavrel::CNonCopyable {
public:
    virtual ~CRefreshClock() = default;

    // The clock of the library's open window on the device: nullptr, with the reason in a few
    // words, when drawings there are not presented at a refresh.
    static std::unique_ptr<CRefreshClock> Open(const std::string& device, std::string& reason);

    // Measures the rate over the given number of refreshes; false when they do not come.
    virtual bool MeasureRate(int refreshes, CRefreshRate& rate) = 0;
    // Waits until the refresh with the given count has begun (at once, with the current one,
    // when it has), and returns it; false when it does not come within the time or an
    // interrupt ends the wait.
    virtual bool WaitForRefresh(uint64_t count, double timeoutSeconds, CRefresh& reached) = 0;
    // The presentation of the library's next drawing since the clock opened or since the last
    // one returned; false when none comes.
    virtual bool NextPresentation(CPresentation& presentation) = 0;
};

}  // namespace host
