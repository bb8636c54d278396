// The host's view of X11 displays. Device names as the library takes them: "DISPLAY" (the X
// display in $DISPLAY), ":N" or ":N.S", each optionally followed by "/OUTPUT", a RandR output.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/Xrandr.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <set>

#include "displays/Display.h"
#include "displays/X11Connection.h"

namespace host {

namespace {

struct CX11Name {
    std::string display;
    std::string output;
};

bool ParseName(const std::string& name, CX11Name& parsed, std::string& reason) {
    const size_t slash = name.find('/');
    std::string display = name.substr(0, slash);
    const std::string output = slash == std::string::npos ? std::string() : name.substr(slash + 1);
    reason = "no display name here: give DISPLAY, :N or :N.S (screen S of X display N), "
             "optionally followed by /OUTPUT (kavrel-host displays lists them)";
    if (slash != std::string::npos && (output.empty() || output.find('/') != std::string::npos))
        return false;
    if (display == "DISPLAY") {
        const char* environment = std::getenv("DISPLAY");
        if (environment == nullptr || *environment == '\0') {
            reason = "names the X display in the environment variable DISPLAY, which is not set";
            return false;
        }
        display = environment;
    } else if (display.size() < 2 || display[0] != ':') {
        return false;
    }
    parsed = CX11Name{display, output};
    return true;
}

// A connection made right after another one to the same server closed is sometimes dropped
// during its setup; a few tries a moment apart get through.
Display* Connect(const std::string& name) {
    for (int attempt = 0;; ++attempt) {
        Display* display = XOpenDisplay(name.c_str());
        if (display != nullptr || attempt == 4) return display;
        usleep(20000);
    }
}

double RefreshOf(const XRRScreenResources* resources, RRMode id) {
    for (int i = 0; i < resources->nmode; ++i) {
        const XRRModeInfo& mode = resources->modes[i];
        if (mode.id == id && mode.hTotal != 0 && mode.vTotal != 0)
            return static_cast<double>(mode.dotClock) / (static_cast<double>(mode.hTotal) * mode.vTotal);
    }
    return 0;
}

struct COutput {
    std::string name;
    int x, y, width, height;
    double refresh;
};

// The RandR outputs of the screen that show a picture.
std::vector<COutput> OutputsOf(Display* display, int screen) {
    std::vector<COutput> outputs;
    int eventBase = 0, errorBase = 0;
    if (!XRRQueryExtension(display, &eventBase, &errorBase)) return outputs;
    XRRScreenResources* resources =
        XRRGetScreenResourcesCurrent(display, RootWindow(display, screen));
    if (resources == nullptr) return outputs;
    for (int i = 0; i < resources->noutput; ++i) {
        XRROutputInfo* output = XRRGetOutputInfo(display, resources, resources->outputs[i]);
        if (output == nullptr) continue;
        if (output->crtc != None) {
            XRRCrtcInfo* crtc = XRRGetCrtcInfo(display, resources, output->crtc);
            if (crtc != nullptr) {
                outputs.push_back(COutput{std::string(output->name, output->nameLen), crtc->x,
                                          crtc->y, static_cast<int>(crtc->width),
                                          static_cast<int>(crtc->height),
                                          RefreshOf(resources, crtc->mode)});
                XRRFreeCrtcInfo(crtc);
            }
        }
        XRRFreeOutputInfo(output);
    }
    XRRFreeScreenResources(resources);
    return outputs;
}

void DescribeScreen(Display* display, int screen, CScreenMode& mode) {
    const Visual* visual = DefaultVisual(display, screen);
    mode.width = DisplayWidth(display, screen);
    mode.height = DisplayHeight(display, screen);
    mode.depth = DefaultDepth(display, screen);
    mode.eightBitColours = mode.depth == 24 && visual->c_class == TrueColor &&
                           visual->red_mask == 0xFF0000 && visual->green_mask == 0x00FF00 &&
                           visual->blue_mask == 0x0000FF;
}

// Why the X display cannot be opened: a screen that its server lacks, or the server itself.
std::string Unreachable(const std::string& display) {
    const size_t dot = display.find('.', display.rfind(':'));
    if (dot != std::string::npos) {
        const std::string server = display.substr(0, dot);
        const CConnection connection(Connect(server));
        if (connection)
            return "the X display " + server + " has no screen " + display.substr(dot + 1) +
                   " (it has " + std::to_string(ScreenCount(connection.get())) +
                   ": kavrel-host displays lists them)";
    }
    return "no X display " + display + " (is its X server running, and may this user connect "
           "to it?)";
}

}  // namespace

bool OpenX11Display(const std::string& device, CConnection& connection, CScreenMode& mode,
                    std::string& reason) {
    CX11Name name;
    if (!ParseName(device, name, reason)) return false;
    connection.reset(Connect(name.display));
    if (!connection) {
        reason = Unreachable(name.display);
        return false;
    }
    Display* display = connection.get();
    const int screen = DefaultScreen(display);
    DescribeScreen(display, screen, mode);
    if (name.output.empty()) {
        int sizes = 0;
        XRRScreenConfiguration* config = XRRGetScreenInfo(display, RootWindow(display, screen));
        if (config != nullptr) {
            if (XRRConfigSizes(config, &sizes) != nullptr && sizes > 0)
                mode.refresh = XRRConfigCurrentRate(config);
            XRRFreeScreenConfigInfo(config);
        }
        return true;
    }
    for (const COutput& output : OutputsOf(display, screen)) {
        if (output.name != name.output) continue;
        mode.x = output.x;
        mode.y = output.y;
        mode.width = output.width;
        mode.height = output.height;
        mode.refresh = output.refresh;
        return true;
    }
    reason = "the X display " + name.display + " has no output '" + name.output +
             "' that shows a picture (kavrel-host displays lists them)";
    return false;
}

namespace {

std::string Geometry(int width, int height, int x, int y) {
    char text[80];
    std::snprintf(text, sizeof text, "%d x %d at (%d, %d)", width, height, x, y);
    return text;
}

// The names of the screens and outputs of one X display.
void ListServer(const std::string& server, std::vector<CDisplayEntry>& entries) {
    CConnection connection(Connect(server));
    if (!connection) return;
    Display* display = connection.get();
    for (int screen = 0; screen < ScreenCount(display); ++screen) {
        CScreenMode mode;
        DescribeScreen(display, screen, mode);
        const std::string name = server + "." + std::to_string(screen);
        const std::string colour = ", " + std::to_string(mode.depth) + "-bit colour" +
                                   (mode.eightBitColours ? "" : " (cannot be drawn on)");
        entries.push_back(CDisplayEntry{name, "screen " + std::to_string(screen) + ": " +
                                                  Geometry(mode.width, mode.height, 0, 0) +
                                                  colour});
        for (const COutput& output : OutputsOf(display, screen)) {
            std::string description = "output " + output.name + " of screen " +
                                      std::to_string(screen) + ": " +
                                      Geometry(output.width, output.height, output.x, output.y);
            if (output.refresh > 0) {
                char hz[32];
                std::snprintf(hz, sizeof hz, ", %.2f Hz", output.refresh);
                description += hz;
            }
            description += colour;
            entries.push_back(CDisplayEntry{name + "/" + output.name, description});
        }
    }
}

}  // namespace

bool FindDisplay(const std::string& device, CScreenMode& mode, std::string& reason) {
    CConnection connection;
    return OpenX11Display(device, connection, mode, reason);
}

bool ReadDisplay(const std::string& device, int width, int height, std::vector<uint8_t>& bgr,
                 std::string& reason) {
    CConnection connection;
    CScreenMode mode;
    if (!OpenX11Display(device, connection, mode, reason)) return false;
    Display* display = connection.get();
    const int screen = DefaultScreen(display);
    // XGetImage fails outright for an area that leaves the screen.
    if (mode.x < 0 || mode.y < 0 || mode.x + width > DisplayWidth(display, screen) ||
        mode.y + height > DisplayHeight(display, screen)) {
        reason = "the screen is smaller than the " + std::to_string(width) + " x " +
                 std::to_string(height) + " picture";
        return false;
    }
    XImage* image = XGetImage(display, RootWindow(display, screen), mode.x, mode.y,
                              static_cast<unsigned>(width), static_cast<unsigned>(height),
                              AllPlanes, ZPixmap);
    if (image == nullptr) {
        reason = "the X server did not hand out the screen's picture";
        return false;
    }
    const Visual* visual = DefaultVisual(display, screen);
    // Each colour scaled to 8 bits as the visual's masks place it.
    auto channel = [](unsigned long pixel, unsigned long mask) {
        if (mask == 0) return uint8_t{0};
        int shift = 0;
        while (((mask >> shift) & 1) == 0) ++shift;
        const unsigned long bits = mask >> shift;
        const unsigned long value = (pixel & mask) >> shift;
        return static_cast<uint8_t>(value * 255 / bits);
    };
    bgr.assign(3 * static_cast<size_t>(width) * static_cast<size_t>(height), 0);
    for (int line = 0; line < height; ++line)
        for (int column = 0; column < width; ++column) {
            const unsigned long pixel = XGetPixel(image, column, line);
            uint8_t* p = &bgr[3 * (static_cast<size_t>(line) * width + column)];
            p[0] = channel(pixel, visual->blue_mask);
            p[1] = channel(pixel, visual->green_mask);
            p[2] = channel(pixel, visual->red_mask);
        }
    XDestroyImage(image);
    return true;
}

std::vector<CDisplayEntry> ListDisplays() {
    std::vector<CDisplayEntry> entries;
    const char* environment = std::getenv("DISPLAY");
    std::set<std::string> servers;
    if (environment != nullptr && *environment != '\0') {
        CScreenMode mode;
        std::string reason;
        const bool reachable = FindDisplay("DISPLAY", mode, reason);
        entries.push_back(CDisplayEntry{
            "DISPLAY", reachable ? std::string("the X display ") + environment : reason,
            reachable});
        std::string server = environment;
        // ":0.0" and ":0" are the same server.
        const size_t dot = server.find('.', server.find(':'));
        servers.insert(server.substr(0, dot));
    }
    // The local X servers, by their sockets.
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator("/tmp/.X11-unix", error)) {
        const std::string file = entry.path().filename().string();
        if (file.size() > 1 && file[0] == 'X' &&
            file.find_first_not_of("0123456789", 1) == std::string::npos)
            servers.insert(":" + file.substr(1));
    }
    for (const std::string& server : servers)
        if (server[0] == ':') ListServer(server, entries);
    return entries;
}

}  // namespace host
