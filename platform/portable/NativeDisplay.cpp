// Display device contexts on an X server: an undecorated window of the requested size at the
// origin of a screen or of one of its RandR outputs, drawn into 1:1 with the packed values
// unchanged. Where the server offers the Present extension every drawing reaches the screen
// whole at a refresh (X11Presenter.h); elsewhere it is copied into the window at once.
//
// Device names:
//   DISPLAY            the X display in $DISPLAY, its default screen
//   :N  or  :N.S       X display N (screen S)
//   NAME/OUTPUT        any of the above, at the origin of the RandR output OUTPUT ("HDMI-1")
// The screen's default visual must be 24-bit TrueColor with 8 bits a colour, and the screen or
// output must be at least as large as the requested mode: on any other screen the picture would
// reach the panel changed or cut, so such a display does not open.
#include "platform/NativeDisplay.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>
#include <X11/extensions/Xrandr.h>
#include <sys/ipc.h>
#include <sys/shm.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <utility>

#include "platform/X11DeviceName.h"
#include "platform/portable/X11Presenter.h"
#include "base/NonCopyable.h"

namespace platform {

namespace {

constexpr int32_t kBlackOnWhite = 1;  // the stretch mode of a new device context

// Xlib's own handler of a failed request ends the process: while the library talks to the
// server, failures are only noted, and every operation ends with a round trip so that they
// arrive within it. The host's handler is back in place afterwards.
bool g_bRequestFailed = false;
int NoteFailedRequest(Display*, XErrorEvent*) {
    g_bRequestFailed = true;
    return 0;
}

// A lost connection (the server ended) makes Xlib end the process, in its handler of the loss
// and again in its exit handler, unless both return: the display then draws nothing more.
int IgnoreLostConnection(Display*) { return 0; }
void NoteLostConnection(Display*, void* lost) { *static_cast<bool*>(lost) = true; }

class CErrorTrap : private kavrel::CNonCopyable {
public:
    CErrorTrap()
        : m_pPrevious(XSetErrorHandler(NoteFailedRequest)),
          m_pPreviousLost(XSetIOErrorHandler(IgnoreLostConnection)) {
        g_bRequestFailed = false;
    }
    virtual ~CErrorTrap() {
        XSetErrorHandler(m_pPrevious);
        XSetIOErrorHandler(m_pPreviousLost);
    }
    bool Failed() const { return g_bRequestFailed; }

private:
    int (*m_pPrevious)(Display*, XErrorEvent*);
    int (*m_pPreviousLost)(Display*);
};

// A connection made right after another one to the same server closed is sometimes dropped
// during its setup; a few tries a moment apart get through.
Display* Connect(const std::string& name) {
    for (int attempt = 0;; ++attempt) {
        Display* display = XOpenDisplay(name.c_str());
        if (display != nullptr || attempt == 4) return display;
        usleep(20000);
    }
}


// Where on the screen the display lies.
struct CArea {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};

// The area of the named RandR output; false when the screen has no such output in use.
bool FindOutput(Display* display, int screen, const std::string& name, CArea& area) {
    int eventBase = 0, errorBase = 0;
    if (!XRRQueryExtension(display, &eventBase, &errorBase)) return false;
    XRRScreenResources* resources =
        XRRGetScreenResourcesCurrent(display, RootWindow(display, screen));
    if (resources == nullptr) return false;
    bool found = false;
    for (int i = 0; i < resources->noutput && !found; ++i) {
        XRROutputInfo* output = XRRGetOutputInfo(display, resources, resources->outputs[i]);
        if (output == nullptr) continue;
        if (output->crtc != None && name == std::string(output->name, output->nameLen)) {
            XRRCrtcInfo* crtc = XRRGetCrtcInfo(display, resources, output->crtc);
            if (crtc != nullptr) {
                area = CArea{crtc->x, crtc->y, static_cast<int>(crtc->width),
                             static_cast<int>(crtc->height)};
                found = true;
                XRRFreeCrtcInfo(crtc);
            }
        }
        XRRFreeOutputInfo(output);
    }
    XRRFreeScreenResources(resources);
    return found;
}

// A visual whose pixels hold the blue, green and red bytes unchanged.
bool ShowsBytesUnchanged(Display* display, int screen) {
    const Visual* visual = DefaultVisual(display, screen);
    return DefaultDepth(display, screen) == 24 && visual->c_class == TrueColor &&
           visual->red_mask == 0xFF0000 && visual->green_mask == 0x00FF00 &&
           visual->blue_mask == 0x0000FF;
}

// The window and what drawing into it needs. The pixels go through a client-side image, in
// shared memory when the server offers MIT-SHM.
class CX11Display : private kavrel::CNonCopyable {
public:
    static CX11Display* Open(const CDisplayMode& mode);
    virtual ~CX11Display();

    void FillRect(int32_t x, int32_t y, int32_t width, int32_t height, uint32_t colorRef);
    int32_t SetStretchMode(int32_t mode) { return std::exchange(m_nStretchMode, mode); }
    bool IsLost() const { return m_bLost; }
    int32_t Draw(int32_t xDest, int32_t yDest, int32_t cols, int32_t rows, bool bottomUp,
                 const uint8_t* bits);

private:
    CX11Display(Display* display, int screen, int32_t width, int32_t height);
    bool CreateWindow(const CArea& area);
    bool CreateImage();
    bool CreateSharedImage();
    // Where drawings go: the presenter's pixmap, else the window itself.
    Drawable Target() const { return m_pPresenter ? m_pPresenter->Target() : m_window; }
    // Hands the window's area from x, y on to the server and waits until it has the picture.
    void Show(int x, int y, int width, int height);
    // Presents what was drawn, brings the window back to the top and waits until the server has
    // done everything asked.
    void Finish();

    Display* m_pDisplay;
    int m_nScreen;
    int32_t m_nWidth;
    int32_t m_nHeight;
    Window m_window = None;
    GC m_gc = nullptr;
    Cursor m_cursor = None;
    XImage* m_pImage = nullptr;
    XShmSegmentInfo m_shm{};
    bool m_bShared = false;
    std::unique_ptr<CX11Presenter> m_pPresenter;
    int32_t m_nStretchMode = kBlackOnWhite;
    bool m_bLost = false;
};

CX11Display::CX11Display(Display* display, int screen, int32_t width, int32_t height)
    : m_pDisplay(display), m_nScreen(screen), m_nWidth(width), m_nHeight(height) {
    m_shm.shmid = -1;
}

CX11Display* CX11Display::Open(const CDisplayMode& mode) {
    CX11DeviceName name;
    if (!ParseX11DeviceName(mode.deviceName, std::getenv("DISPLAY"), name)) return nullptr;
    if (mode.width <= 0 || mode.height <= 0) return nullptr;
    Display* display = Connect(name.display);
    if (display == nullptr) return nullptr;
    std::unique_ptr<CX11Display> x11(
        new (std::nothrow) CX11Display(display, DefaultScreen(display), mode.width, mode.height));
    if (!x11) {
        XCloseDisplay(display);
        return nullptr;
    }
    XSetIOErrorExitHandler(display, NoteLostConnection, &x11->m_bLost);
    CErrorTrap trap;
    const int screen = x11->m_nScreen;
    CArea area{0, 0, DisplayWidth(display, screen), DisplayHeight(display, screen)};
    if (!name.output.empty() && !FindOutput(display, screen, name.output, area)) return nullptr;
    if (!ShowsBytesUnchanged(display, screen) || area.width < mode.width ||
        area.height < mode.height)
        return nullptr;
    if (!x11->CreateWindow(area) || !x11->CreateImage()) return nullptr;
    x11->m_pPresenter = CX11Presenter::Create(display, x11->m_window, mode.width, mode.height,
                                              DefaultDepth(display, screen));
    x11->Finish();
    if (trap.Failed() || x11->m_bLost) return nullptr;
    return x11.release();
}

CX11Display::~CX11Display() {
    CErrorTrap trap;
    if (m_pImage != nullptr) {
        if (m_bShared && !m_bLost) {
            XShmDetach(m_pDisplay, &m_shm);
            XSync(m_pDisplay, False);
        }
        if (m_bShared) {
            shmdt(m_shm.shmaddr);
            m_pImage->data = nullptr;
        }
        XDestroyImage(m_pImage);
    }
    m_pPresenter.reset();
    if (m_cursor != None) XFreeCursor(m_pDisplay, m_cursor);
    if (m_gc != nullptr) XFreeGC(m_pDisplay, m_gc);
    if (m_window != None) XDestroyWindow(m_pDisplay, m_window);
    XCloseDisplay(m_pDisplay);
}

// Undecorated and unmanaged (override-redirect), above every other window, black, with an
// empty cursor; the server keeps its content when something passes over it.
bool CX11Display::CreateWindow(const CArea& area) {
    Window root = RootWindow(m_pDisplay, m_nScreen);
    XSetWindowAttributes attributes{};
    attributes.override_redirect = True;
    attributes.background_pixel = BlackPixel(m_pDisplay, m_nScreen);
    attributes.backing_store = Always;
    m_window = XCreateWindow(m_pDisplay, root, area.x, area.y, static_cast<unsigned>(m_nWidth),
                             static_cast<unsigned>(m_nHeight), 0, CopyFromParent, InputOutput,
                             CopyFromParent, CWOverrideRedirect | CWBackPixel | CWBackingStore,
                             &attributes);
    if (m_window == None) return false;
    XStoreName(m_pDisplay, m_window, "kavrel");
    static const char noBits[1] = {0};
    Pixmap empty = XCreateBitmapFromData(m_pDisplay, m_window, noBits, 1, 1);
    if (empty != None) {
        XColor black{};
        m_cursor = XCreatePixmapCursor(m_pDisplay, empty, empty, &black, &black, 0, 0);
        XFreePixmap(m_pDisplay, empty);
        if (m_cursor != None) XDefineCursor(m_pDisplay, m_window, m_cursor);
    }
    m_gc = XCreateGC(m_pDisplay, m_window, 0, nullptr);
    if (m_gc == nullptr) return false;
    XMapRaised(m_pDisplay, m_window);
    return true;
}

bool CX11Display::CreateImage() {
    if (CreateSharedImage()) return true;
    Visual* visual = DefaultVisual(m_pDisplay, m_nScreen);
    m_pImage = XCreateImage(m_pDisplay, visual, 24, ZPixmap, 0, nullptr,
                            static_cast<unsigned>(m_nWidth), static_cast<unsigned>(m_nHeight),
                            32, 0);
    if (m_pImage == nullptr) return false;
    // XDestroyImage releases the pixels with free().
    m_pImage->data = static_cast<char*>(
        std::calloc(static_cast<size_t>(m_pImage->bytes_per_line), static_cast<size_t>(m_nHeight)));
    return m_pImage->data != nullptr && m_pImage->bits_per_pixel == 32;
}

// MIT-SHM saves copying 5 MB through the connection on every drawing; it works only when the
// server runs on the same machine, which the attach request finds out.
bool CX11Display::CreateSharedImage() {
    if (!XShmQueryExtension(m_pDisplay)) return false;
    Visual* visual = DefaultVisual(m_pDisplay, m_nScreen);
    XImage* image = XShmCreateImage(m_pDisplay, visual, 24, ZPixmap, nullptr, &m_shm,
                                    static_cast<unsigned>(m_nWidth),
                                    static_cast<unsigned>(m_nHeight));
    if (image == nullptr) return false;
    if (image->bits_per_pixel != 32) {
        XDestroyImage(image);
        return false;
    }
    const size_t bytes = static_cast<size_t>(image->bytes_per_line) * static_cast<size_t>(m_nHeight);
    m_shm.shmid = shmget(IPC_PRIVATE, bytes, IPC_CREAT | 0600);
    if (m_shm.shmid < 0) {
        XDestroyImage(image);
        return false;
    }
    void* memory = shmat(m_shm.shmid, nullptr, 0);
    if (memory == reinterpret_cast<void*>(-1)) {
        shmctl(m_shm.shmid, IPC_RMID, nullptr);
        XDestroyImage(image);
        return false;
    }
    m_shm.shmaddr = image->data = static_cast<char*>(memory);
    m_shm.readOnly = False;
    // A refused attach is no failure of the display: the image then goes through the connection.
    XSync(m_pDisplay, False);
    const bool earlier = g_bRequestFailed;
    g_bRequestFailed = false;
    const bool attached = XShmAttach(m_pDisplay, &m_shm) && (XSync(m_pDisplay, False), true) &&
                          !g_bRequestFailed;
    g_bRequestFailed = earlier;
    // Removed now, the segment goes when both sides have detached, even after a crash.
    shmctl(m_shm.shmid, IPC_RMID, nullptr);
    if (!attached) {
        shmdt(memory);
        image->data = nullptr;
        XDestroyImage(image);
        return false;
    }
    std::memset(memory, 0, bytes);
    m_pImage = image;
    m_bShared = true;
    return true;
}

void CX11Display::Show(int x, int y, int width, int height) {
    if (m_bShared)
        XShmPutImage(m_pDisplay, Target(), m_gc, m_pImage, x, y, x, y,
                     static_cast<unsigned>(width), static_cast<unsigned>(height), False);
    else
        XPutImage(m_pDisplay, Target(), m_gc, m_pImage, x, y, x, y, static_cast<unsigned>(width),
                  static_cast<unsigned>(height));
    Finish();
}

void CX11Display::Finish() {
    if (m_pPresenter) m_pPresenter->Present();
    XRaiseWindow(m_pDisplay, m_window);
    // A long exposure must not end in a blanked screen.
    XResetScreenSaver(m_pDisplay);
    XSync(m_pDisplay, False);
}

void CX11Display::FillRect(int32_t x, int32_t y, int32_t width, int32_t height,
                           uint32_t colorRef) {
    const int64_t left = std::max<int64_t>(x, 0);
    const int64_t right = std::min<int64_t>(static_cast<int64_t>(x) + width, m_nWidth);
    const int64_t top = std::max<int64_t>(y, 0);
    const int64_t bottom = std::min<int64_t>(static_cast<int64_t>(y) + height, m_nHeight);
    if (left >= right || top >= bottom) return;
    // 0x00BBGGRR to the visual's 0xRRGGBB.
    const unsigned long pixel = (colorRef & 0xFF) << 16 | (colorRef & 0xFF00) |
                                (colorRef >> 16 & 0xFF);
    XSetForeground(m_pDisplay, m_gc, pixel);
    XFillRectangle(m_pDisplay, Target(), m_gc, static_cast<int>(left), static_cast<int>(top),
                   static_cast<unsigned>(right - left), static_cast<unsigned>(bottom - top));
    // The image mirrors the window, so that a later partial drawing sends the right pixels.
    for (int64_t line = top; line < bottom; ++line)
        for (int64_t column = left; column < right; ++column)
            XPutPixel(m_pImage, static_cast<int>(column), static_cast<int>(line), pixel);
    Finish();
}

int32_t CX11Display::Draw(int32_t xDest, int32_t yDest, int32_t cols, int32_t rows,
                          bool bottomUp, const uint8_t* bits) {
    const int64_t left = std::max<int64_t>(xDest, 0);
    const int64_t right = std::min<int64_t>(static_cast<int64_t>(xDest) + cols, m_nWidth);
    const int64_t top = std::max<int64_t>(yDest, 0);
    const int64_t bottom = std::min<int64_t>(static_cast<int64_t>(yDest) + rows, m_nHeight);
    const size_t stride = (3 * static_cast<size_t>(cols) + 3) & ~size_t{3};
    const bool lsbFirst = m_pImage->byte_order == LSBFirst;
    for (int64_t line = top; line < bottom && left < right; ++line) {
        const int64_t row = bottomUp ? rows - 1 - (line - yDest) : line - yDest;
        const uint8_t* source = bits + static_cast<size_t>(row) * stride + 3 * (left - xDest);
        uint8_t* target = reinterpret_cast<uint8_t*>(m_pImage->data) +
                          line * m_pImage->bytes_per_line + 4 * left;
        for (int64_t column = left; column < right; ++column, source += 3, target += 4) {
            if (lsbFirst) {
                target[0] = source[0];
                target[1] = source[1];
                target[2] = source[2];
                target[3] = 0;
            } else {
                target[0] = 0;
                target[1] = source[2];
                target[2] = source[1];
                target[3] = source[0];
            }
        }
    }
    if (left < right && top < bottom)
        Show(static_cast<int>(left), static_cast<int>(top), static_cast<int>(right - left),
             static_cast<int>(bottom - top));
    return rows;
}

CX11Display* Handle(intptr_t dc) { return reinterpret_cast<CX11Display*>(dc); }

}  // namespace

bool ParseX11DeviceName(const std::string& name, const char* environmentDisplay,
                        CX11DeviceName& parsed) {
    const size_t slash = name.find('/');
    std::string display = name.substr(0, slash);
    std::string output = slash == std::string::npos ? std::string() : name.substr(slash + 1);
    if (slash != std::string::npos && (output.empty() || output.find('/') != std::string::npos))
        return false;
    if (display == "DISPLAY") {
        if (environmentDisplay == nullptr || *environmentDisplay == '\0') return false;
        display = environmentDisplay;
    } else if (display.size() < 2 || display[0] != ':') {
        return false;
    }
    parsed = CX11DeviceName{display, output};
    return true;
}

intptr_t CreateNativeDC(const CDisplayMode& mode) {
    return reinterpret_cast<intptr_t>(CX11Display::Open(mode));
}

void DeleteNativeDC(intptr_t dc) { delete Handle(dc); }

void FillNativeRect(intptr_t dc, int32_t x, int32_t y, int32_t width, int32_t height,
                    uint32_t colorRef) {
    if (dc == 0 || Handle(dc)->IsLost()) return;
    CErrorTrap trap;
    Handle(dc)->FillRect(x, y, width, height, colorRef);
}

int32_t SetNativeStretchBltMode(intptr_t dc, int32_t mode) {
    return dc == 0 ? 0 : Handle(dc)->SetStretchMode(mode);
}

int32_t StretchNativeDIBits(intptr_t dc, int32_t xDest, int32_t yDest, int32_t destWidth,
                            int32_t destHeight, int32_t xSrc, int32_t ySrc, int32_t srcWidth,
                            int32_t srcHeight, const void* bits, const CDibHeader& header,
                            uint32_t usage, uint32_t rop) {
    if (dc == 0 || Handle(dc)->IsLost() ||
        !IsPlainCopy(destWidth, destHeight, xSrc, ySrc, srcWidth, srcHeight, bits, header, usage,
                     rop))
        return 0;
    CErrorTrap trap;
    return Handle(dc)->Draw(xDest, yDest, header.biWidth, srcHeight, header.biHeight > 0,
                            static_cast<const uint8_t*>(bits));
}

}  // namespace platform
