#include "platform/portable/X11Presenter.h"

#include <X11/extensions/Xpresent.h>
#include <poll.h>

#include <chrono>
#include <new>

namespace platform {

namespace {

// Longer than any refresh period; a server whose screen has stopped refreshing (switched off)
// may take this long, and the drawing call then returns without the confirmation.
constexpr std::chrono::milliseconds kLongestWait{500};

// Whether the event is the completion of the presentation with the serial number.
bool IsCompletion(Display* display, XEvent& event, int opcode, uint32_t serial) {
    XGenericEventCookie& cookie = event.xcookie;
    if (event.type != GenericEvent || cookie.extension != opcode) return false;
    if (!XGetEventData(display, &cookie)) return false;
    bool completed = false;
    if (cookie.evtype == PresentCompleteNotify) {
        const auto* complete = static_cast<const XPresentCompleteNotifyEvent*>(cookie.data);
        completed =
            complete->kind == PresentCompleteKindPixmap && complete->serial_number == serial;
    }
    XFreeEventData(display, &cookie);
    return completed;
}

}  // namespace

CX11Presenter::CX11Presenter(Display* display, Window window, int opcode)
    : m_pDisplay(display), m_window(window), m_nOpcode(opcode) {}

std::unique_ptr<CX11Presenter> CX11Presenter::Create(Display* display, Window window, int width,
                                                     int height, int depth) {
    int opcode = 0, eventBase = 0, errorBase = 0;
    if (!XPresentQueryExtension(display, &opcode, &eventBase, &errorBase)) return nullptr;
    std::unique_ptr<CX11Presenter> presenter(new (std::nothrow)
                                                 CX11Presenter(display, window, opcode));
    if (!presenter) return nullptr;
    presenter->m_pixmap =
        XCreatePixmap(display, window, static_cast<unsigned>(width), static_cast<unsigned>(height),
                      static_cast<unsigned>(depth));
    if (presenter->m_pixmap == None) return nullptr;
    XGCValues black{};
    black.foreground = BlackPixel(display, DefaultScreen(display));
    GC gc = XCreateGC(display, presenter->m_pixmap, GCForeground, &black);
    XFillRectangle(display, presenter->m_pixmap, gc, 0, 0, static_cast<unsigned>(width),
                   static_cast<unsigned>(height));
    XFreeGC(display, gc);
    XPresentSelectInput(display, window, PresentCompleteNotifyMask);
    return presenter;
}

CX11Presenter::~CX11Presenter() {
    if (m_pixmap != None) XFreePixmap(m_pDisplay, m_pixmap);
}

void CX11Presenter::Present() {
    const uint32_t serial = ++m_nSerial;
    // Target 0 without a divisor: the next refresh. A copy, never a page flip, so that the
    // pixmap is free again once shown and keeps the picture for the next partial drawing.
    XPresentPixmap(m_pDisplay, m_window, m_pixmap, serial, None, None, 0, 0, None, None, None,
                   PresentOptionCopy, 0, 0, 0, nullptr, 0);
    XFlush(m_pDisplay);
    WaitForCompletion(serial);
}

bool CX11Presenter::WaitForCompletion(uint32_t serial) {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point end = Clock::now() + kLongestWait;
    for (;;) {
        while (XPending(m_pDisplay) > 0) {
            XEvent event;
            XNextEvent(m_pDisplay, &event);
            if (IsCompletion(m_pDisplay, event, m_nOpcode, serial)) return true;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now());
        if (left.count() <= 0) return false;
        pollfd connection{ConnectionNumber(m_pDisplay), POLLIN, 0};
        if (poll(&connection, 1, static_cast<int>(left.count())) < 0 ||
            (connection.revents & (POLLHUP | POLLERR)) != 0)
            return false;
    }
}

}  // namespace platform
