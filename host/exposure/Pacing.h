// How long each drawing of an exposure stays on the display. The drawings are paced in one of
// two ways:
// - by the display's refreshes (CRefreshPacer): each drawing is made right after the refresh
//   before the one at which the drawing on the screen has been on for its count, so that the
//   display system presents it at exactly that refresh; every drawing's time on the screen is
//   then read back from the display system's counter and timestamps;
// - by the host's own clock (CClockPacer), where drawings are not presented at a refresh: each
//   drawing stays for its count of refreshes at the display's nominal rate from the moment the
//   drawing call returned, to within a refresh.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "base/NonCopyable.h"
#include "displays/RefreshClock.h"
#include "exposure/RefreshTiming.h"

namespace host {

// Whether the user asked to end the showing (Ctrl+C).
using InterruptedFn = bool (*)();

class CPacer : private kavrel::CNonCopyable {
public:
    virtual ~CPacer() = default;
    // Before a drawing: waits until the drawing on the display has been on for its count.
    // False when an interrupt ended the wait.
    virtual bool WaitForTurn() = 0;
    // After a drawing call: the drawing, what it is called in the report, and how many
    // refreshes it is to stay; 0 for one that may be replaced at any refresh, whose time is
    // not judged.
    virtual void Drawn(const std::string& what, int64_t refreshes) = 0;
};

class CRefreshPacer : public CPacer {
public:
    // The report of each drawing's time on the screen goes to out once it is replaced.
    CRefreshPacer(CRefreshClock& clock, double periodMs, InterruptedFn interrupted,
                  std::ostream& out);

    bool WaitForTurn() override;
    void Drawn(const std::string& what, int64_t refreshes) override;
    // The drawings replaced so far, with their time on the screen.
    const std::vector<CTimedDrawing>& Timed() const { return m_Timed; }

private:
    struct COnScreen {
        std::string what;
        int64_t refreshes = 0;
        CPresentation presentation;
    };

    CRefreshClock& m_Clock;
    double m_dPeriodMs;
    InterruptedFn m_pInterrupted;
    std::ostream& m_Out;
    std::optional<COnScreen> m_OnScreen;
    std::vector<CTimedDrawing> m_Timed;
};

class CClockPacer : public CPacer {
public:
    // A drawing's time is its refreshes x periodSeconds.
    CClockPacer(double periodSeconds, InterruptedFn interrupted);

    bool WaitForTurn() override;
    void Drawn(const std::string& what, int64_t refreshes) override;

private:
    using Clock = std::chrono::steady_clock;
    double m_dPeriodSeconds;
    InterruptedFn m_pInterrupted;
    Clock::time_point m_End = Clock::now();
};

}  // namespace host
