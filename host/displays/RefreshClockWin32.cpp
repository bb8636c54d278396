// The refresh clock of the desktop compositor. With composition on, a GDI drawing reaches the
// screen with the compositor's next frame; DwmFlush waits for that frame, and the compositor's
// timing information gives its refresh counter, the frame shown last and the refresh at which
// it was shown, with their times on the performance counter. dwmapi.dll is loaded at run time,
// so that the host also starts where it is missing; without it, or with composition off,
// drawings are timed by the host's clock.
#include <dwmapi.h>
#include <windows.h>

#include <chrono>
#include <vector>

#include "displays/RefreshClock.h"

namespace host {

namespace {

using Clock = std::chrono::steady_clock;
using IsCompositionEnabledFn = HRESULT(WINAPI*)(BOOL*);
using GetTimingInfoFn = HRESULT(WINAPI*)(HWND, DWM_TIMING_INFO*);
using FlushFn = HRESULT(WINAPI*)();

class CDwmRefreshClock : public CRefreshClock {
public:
    CDwmRefreshClock(HMODULE dwm, GetTimingInfoFn timing, FlushFn flush)
        : m_hDwm(dwm), m_pTiming(timing), m_pFlush(flush) {
        LARGE_INTEGER frequency{};
        QueryPerformanceFrequency(&frequency);
        m_dTicksPerMicrosecond = static_cast<double>(frequency.QuadPart) / 1e6;
    }
    ~CDwmRefreshClock() override { FreeLibrary(m_hDwm); }

    bool MeasureRate(int refreshes, CRefreshRate& rate) override {
        std::vector<CRefresh> ticks;
        DWM_TIMING_INFO info;
        for (int i = 0; i <= refreshes; ++i) {
            if (FAILED(m_pFlush()) || !Timing(info)) return false;
            ticks.push_back(CRefresh{info.cRefresh, Microseconds(info.qpcVBlank)});
        }
        return RateOf(ticks, rate);
    }

    bool WaitForRefresh(uint64_t count, double timeoutSeconds, CRefresh& reached) override {
        const Clock::time_point end =
            Clock::now() + std::chrono::duration_cast<Clock::duration>(
                               std::chrono::duration<double>(timeoutSeconds));
        DWM_TIMING_INFO info;
        for (;;) {
            if (!Timing(info)) return false;
            reached = CRefresh{info.cRefresh, Microseconds(info.qpcVBlank)};
            if (reached.count >= count) return true;
            if (Clock::now() > end || FAILED(m_pFlush())) return false;
        }
    }

    // The compositor's frame after the drawing holds it; the refresh at which that frame was
    // shown is the drawing's.
    bool NextPresentation(CPresentation& presentation) override {
        DWM_TIMING_INFO info;
        if (FAILED(m_pFlush()) || !Timing(info)) return false;
        const DWM_FRAME_COUNT frame = info.cFrame;
        const Clock::time_point end = Clock::now() + std::chrono::seconds(1);
        while (info.cFrameDisplayed < frame) {
            if (Clock::now() > end || FAILED(m_pFlush()) || !Timing(info)) return false;
        }
        presentation = CPresentation{
            CRefresh{info.cRefreshFrameDisplayed, Microseconds(info.qpcFrameDisplayed)}, false};
        return true;
    }

private:
    bool Timing(DWM_TIMING_INFO& info) const {
        info = DWM_TIMING_INFO{};
        info.cbSize = sizeof info;
        return SUCCEEDED(m_pTiming(nullptr, &info));
    }
    uint64_t Microseconds(QPC_TIME qpc) const {
        return static_cast<uint64_t>(static_cast<double>(qpc) / m_dTicksPerMicrosecond);
    }

    HMODULE m_hDwm;
    GetTimingInfoFn m_pTiming;
    FlushFn m_pFlush;
    double m_dTicksPerMicrosecond = 1;
};

template <class Fn>
Fn Function(HMODULE module, const char* name) {
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

}  // namespace

std::unique_ptr<CRefreshClock> CRefreshClock::Open(const std::string&, std::string& reason) {
    HMODULE dwm = LoadLibraryA("dwmapi.dll");
    const auto enabled =
        dwm ? Function<IsCompositionEnabledFn>(dwm, "DwmIsCompositionEnabled") : nullptr;
    const auto timing =
        dwm ? Function<GetTimingInfoFn>(dwm, "DwmGetCompositionTimingInfo") : nullptr;
    const auto flush = dwm ? Function<FlushFn>(dwm, "DwmFlush") : nullptr;
    BOOL on = FALSE;
    if (enabled == nullptr || timing == nullptr || flush == nullptr || FAILED(enabled(&on)) ||
        !on) {
        if (dwm) FreeLibrary(dwm);
        reason = "the desktop compositor is off, so drawings reach the screen mid-refresh";
        return nullptr;
    }
    reason.clear();
    auto clock = std::make_unique<CDwmRefreshClock>(dwm, timing, flush);
    // A compositor whose refresh counter stands still gives no count to time by.
    CRefresh first, later;
    if (!clock->WaitForRefresh(0, 1, first) || !clock->WaitForRefresh(first.count + 2, 1, later)) {
        reason = "the desktop compositor's refresh counter does not advance";
        return nullptr;
    }
    return clock;
}

}  // namespace host
