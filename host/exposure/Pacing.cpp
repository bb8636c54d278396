#include "exposure/Pacing.h"

#include <algorithm>
#include <thread>

#include "common/Errors.h"

namespace host {

namespace {

// A refresh is waited for in steps of at most this many, so that an interrupt is seen soon.
constexpr uint64_t kLongestStep = 30;
// Far longer than kLongestStep refreshes at any rate a display runs at.
constexpr double kStepTimeoutSeconds = 5;

}  // namespace

CRefreshPacer::CRefreshPacer(CRefreshClock& clock, double periodMs, InterruptedFn interrupted,
                             std::ostream& out)
    : m_Clock(clock), m_dPeriodMs(periodMs), m_pInterrupted(interrupted), m_Out(out) {}

bool CRefreshPacer::WaitForTurn() {
    if (!m_OnScreen) return true;
    // The next drawing is presented at the refresh after the one it is made in.
    const uint64_t last = m_OnScreen->presentation.shown.count +
                          static_cast<uint64_t>(std::max<int64_t>(m_OnScreen->refreshes, 1)) - 1;
    CRefresh reached = m_OnScreen->presentation.shown;
    while (reached.count < last) {
        if (m_pInterrupted()) return false;
        const uint64_t step = std::min(last, reached.count + kLongestStep);
        if (!m_Clock.WaitForRefresh(step, kStepTimeoutSeconds, reached)) {
            if (m_pInterrupted()) return false;
            throw CHostError("the display's refreshes stopped coming while " + m_OnScreen->what +
                             " was on the screen");
        }
    }
    return !m_pInterrupted();
}

void CRefreshPacer::Drawn(const std::string& what, int64_t refreshes) {
    CPresentation presentation;
    if (!m_Clock.NextPresentation(presentation))
        throw CHostError("the display system reported no presentation of " + what +
                         ": its time on the screen is unknown");
    if (m_OnScreen && m_OnScreen->refreshes > 0) {
        const CTimeOnScreen time = TimeOnScreen(m_OnScreen->presentation, presentation.shown,
                                                m_OnScreen->refreshes, m_dPeriodMs);
        m_Out << "            " << m_OnScreen->what << " on "
              << DescribeTimeOnScreen(m_OnScreen->presentation, presentation.shown, time) << "\n"
              << std::flush;
        m_Timed.push_back(CTimedDrawing{m_OnScreen->what, time});
    }
    m_OnScreen = COnScreen{what, refreshes, presentation};
}

CClockPacer::CClockPacer(double periodSeconds, InterruptedFn interrupted)
    : m_dPeriodSeconds(periodSeconds), m_pInterrupted(interrupted) {}

bool CClockPacer::WaitForTurn() {
    while (!m_pInterrupted() && Clock::now() < m_End)
        std::this_thread::sleep_for(
            std::min<Clock::duration>(std::chrono::milliseconds(20), m_End - Clock::now()));
    return !m_pInterrupted();
}

void CClockPacer::Drawn(const std::string&, int64_t refreshes) {
    const double seconds = static_cast<double>(refreshes) * m_dPeriodSeconds;
    m_End = Clock::now() +
            std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
}

}  // namespace host
