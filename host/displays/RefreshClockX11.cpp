// The refresh clock of an X server through its Present extension: the refresh counter (MSC) and
// its timestamps (UST, microseconds) come with the completion events of the library's
// presentations and of the host's own requests to be told of a refresh, both on the library's
// window.
#include <X11/Xutil.h>
#include <X11/extensions/Xpresent.h>
#include <poll.h>

#include <chrono>
#include <deque>
#include <map>
#include <thread>
#include <vector>

#include "displays/RefreshClock.h"
#include "displays/X11Connection.h"

namespace host {

namespace {

using Clock = std::chrono::steady_clock;

// The library's window: the topmost mapped window named "kavrel" at the display's origin.
Window FindLibraryWindow(Display* display, const CScreenMode& mode) {
    Window root = 0, parent = 0, *children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count))
        return None;
    Window found = None;
    // Children come bottom first.
    for (unsigned i = count; i-- > 0 && found == None;) {
        char* name = nullptr;
        if (!XFetchName(display, children[i], &name) || name == nullptr) continue;
        const bool named = std::string(name) == "kavrel";
        XFree(name);
        XWindowAttributes attributes{};
        if (named && XGetWindowAttributes(display, children[i], &attributes) &&
            attributes.map_state == IsViewable && attributes.x == mode.x && attributes.y == mode.y)
            found = children[i];
    }
    if (children != nullptr) XFree(children);
    return found;
}

class CX11RefreshClock : public CRefreshClock {
public:
    CX11RefreshClock(CConnection connection, Window window, int opcode)
        : m_connection(std::move(connection)), m_window(window), m_nOpcode(opcode) {
        XPresentSelectInput(Get(), m_window, PresentCompleteNotifyMask);
        XSync(Get(), False);
    }

    bool MeasureRate(int refreshes, CRefreshRate& rate) override {
        // The current refresh comes with the time of asking, not of the refresh: only the
        // refreshes after it count.
        CRefresh now;
        if (!WaitForRefresh(0, 1.0, now)) return false;
        std::vector<uint32_t> serials;
        for (int i = 1; i <= refreshes + 1; ++i) serials.push_back(AskForRefresh(now.count + i));
        std::vector<CRefresh> ticks;
        for (uint32_t serial : serials) {
            CRefresh tick;
            if (!AwaitRefresh(serial, Clock::now() + std::chrono::seconds(1), tick)) return false;
            ticks.push_back(tick);
        }
        return RateOf(ticks, rate);
    }

    // A refresh's event comes at its vertical blank, but the counter by which the server places
    // a presentation may turn to it earlier (a server's own clock rounds to the nearest
    // refresh), and a drawing made then already goes to the refresh after. So the wait runs to
    // the event of the refresh before and then on the counter itself, which leaves the next
    // drawing a whole refresh to reach the server.
    bool WaitForRefresh(uint64_t count, double timeoutSeconds, CRefresh& reached) override {
        const Clock::time_point end =
            Clock::now() + std::chrono::duration_cast<Clock::duration>(
                               std::chrono::duration<double>(timeoutSeconds));
        if (!AwaitRefresh(AskForRefresh(count > 0 ? count - 1 : 0), end, reached)) return false;
        while (reached.count < count) {
            std::this_thread::sleep_for(std::chrono::microseconds(500));
            if (!AwaitRefresh(AskForRefresh(0), end, reached)) return false;
        }
        return true;
    }

    bool NextPresentation(CPresentation& presentation) override {
        const Clock::time_point end = Clock::now() + std::chrono::seconds(1);
        while (m_presentations.empty())
            if (!Receive(end)) return false;
        presentation = m_presentations.front();
        m_presentations.pop_front();
        return true;
    }

private:
    Display* Get() const { return m_connection.get(); }

    // A target already past is answered at once with the current refresh.
    uint32_t AskForRefresh(uint64_t count) {
        const uint32_t serial = ++m_nSerial;
        XPresentNotifyMSC(Get(), m_window, serial, count, 0, 0);
        XFlush(Get());
        return serial;
    }

    bool AwaitRefresh(uint32_t serial, Clock::time_point end, CRefresh& reached) {
        for (;;) {
            const auto tick = m_refreshes.find(serial);
            if (tick != m_refreshes.end()) {
                reached = tick->second;
                m_refreshes.erase(tick);
                return true;
            }
            if (!Receive(end)) return false;
        }
    }

    // Reads the events that have come, or waits for one until the end; false at the end.
    bool Receive(Clock::time_point end) {
        for (;;) {
            if (XPending(Get()) > 0) {
                while (XPending(Get()) > 0) Take();
                return true;
            }
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now());
            if (left.count() <= 0) return false;
            pollfd connection{ConnectionNumber(Get()), POLLIN, 0};
            // An interrupt (Ctrl+C) ends the wait early; the caller looks at its flag.
            if (poll(&connection, 1, static_cast<int>(left.count())) < 0 ||
                (connection.revents & (POLLHUP | POLLERR)) != 0)
                return false;
        }
    }

    void Take() {
        XEvent event;
        XNextEvent(Get(), &event);
        XGenericEventCookie& cookie = event.xcookie;
        if (event.type != GenericEvent || cookie.extension != m_nOpcode ||
            !XGetEventData(Get(), &cookie))
            return;
        if (cookie.evtype == PresentCompleteNotify) {
            const auto* complete = static_cast<const XPresentCompleteNotifyEvent*>(cookie.data);
            const CRefresh refresh{complete->msc, complete->ust};
            if (complete->kind == PresentCompleteKindPixmap)
                m_presentations.push_back(
                    CPresentation{refresh, complete->mode == PresentCompleteModeSkip});
            else
                m_refreshes[complete->serial_number] = refresh;
        }
        XFreeEventData(Get(), &cookie);
    }

    CConnection m_connection;
    Window m_window;
    int m_nOpcode;
    uint32_t m_nSerial = 0;
    std::deque<CPresentation> m_presentations;
    std::map<uint32_t, CRefresh> m_refreshes;  // by the serial number of the host's request
};

}  // namespace

std::unique_ptr<CRefreshClock> CRefreshClock::Open(const std::string& device, std::string& reason) {
    CConnection connection;
    CScreenMode mode;
    if (!OpenX11Display(device, connection, mode, reason)) return nullptr;
    int opcode = 0, eventBase = 0, errorBase = 0;
    if (!XPresentQueryExtension(connection.get(), &opcode, &eventBase, &errorBase)) {
        reason =
            "the X server has no Present extension, so drawings reach the screen "
            "mid-refresh";
        return nullptr;
    }
    const Window window = FindLibraryWindow(connection.get(), mode);
    if (window == None) {
        reason = "the library's window is not on the screen";
        return nullptr;
    }
    reason.clear();
    return std::make_unique<CX11RefreshClock>(std::move(connection), window, opcode);
}

}  // namespace host
