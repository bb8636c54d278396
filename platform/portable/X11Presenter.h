// Drawings handed to an X11 window at a refresh through the Present extension: the picture is
// drawn into a pixmap of the window's size, which the server copies into the window at the next
// refresh (vertical blank) as a whole, instead of a copy that lands on the screen mid-scan.
#pragma once

#include <X11/Xlib.h>

#include <cstdint>
#include <memory>

#include "base/NonCopyable.h"

namespace platform {

class CX11Presenter : private kavrel::CNonCopyable {
public:
    // The presenter of the window, black; nullptr when the server offers no Present.
    static std::unique_ptr<CX11Presenter> Create(Display* display, Window window, int width,
                                                 int height, int depth);
    virtual ~CX11Presenter();

    // Where drawings go before they are presented; it keeps the window's whole picture.
    Drawable Target() const { return m_pixmap; }
    // Presents the picture at the next refresh and waits until the server has shown it, so that
    // a drawing call returns with its picture on the screen, as a direct copy did.
    void Present();

private:
    CX11Presenter(Display* display, Window window, int opcode);
    bool WaitForCompletion(uint32_t serial);

    Display* m_pDisplay;
    Window m_window;
    int m_nOpcode;
    Pixmap m_pixmap = None;
    uint32_t m_nSerial = 0;
};

}  // namespace platform
