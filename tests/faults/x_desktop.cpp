#include "x_desktop.h"

#include <chrono>
#include <cstdlib>
#include <thread>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include "tests/support/x_close_request.h"
#include <X11/Xutil.h>
#include <X11/extensions/Xrandr.h>

namespace {

// Windows come and go while they are looked at; Xlib's default handler would
// end the test for a window that vanished between two requests.
int ignoreXError(Display*, XErrorEvent*) {
    return 0;
}

std::optional<pid_t> windowPid(Display* display, Window window) {
    const Atom pidAtom = XInternAtom(display, "_NET_WM_PID", False);
    Atom type = None;
    int format = 0;
    unsigned long items = 0, after = 0;
    unsigned char* data = nullptr;
    std::optional<pid_t> pid;
    if (XGetWindowProperty(display, window, pidAtom, 0, 1, False, XA_CARDINAL, &type, &format, &items, &after, &data) ==
            Success &&
        data && items == 1 && format == 32) {
        pid = static_cast<pid_t>(*reinterpret_cast<unsigned long*>(data));
    }
    if (data) XFree(data);
    return pid;
}

bool isViewable(Display* display, Window window) {
    XWindowAttributes attributes{};
    return XGetWindowAttributes(display, window, &attributes) && attributes.map_state == IsViewable;
}

Window findWindowOf(Display* display, pid_t pid) {
    Window root = DefaultRootWindow(display), parent = 0, *children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(display, root, &root, &parent, &children, &count)) return 0;
    Window found = 0;
    for (unsigned i = 0; i < count && !found; ++i) {
        if (windowPid(display, children[i]) == pid && isViewable(display, children[i])) found = children[i];
    }
    if (children) XFree(children);
    return found;
}

}  // namespace

// The server resets when its last client leaves, and refuses connections while
// it does; the previous test's programs may just have left.
XDesktop::XDesktop(const char* name) {
    XSetErrorHandler(ignoreXError);
    for (int attempt = 0; attempt < 50 && !display_; ++attempt) {
        if (attempt > 0) std::this_thread::sleep_for(std::chrono::milliseconds(100));
        display_ = XOpenDisplay(name);
    }
}

XDesktop::~XDesktop() {
    if (display_) XCloseDisplay(display_);
}

unsigned long XDesktop::waitForWindow(pid_t pid, double seconds) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (std::chrono::steady_clock::now() < deadline) {
        if (Window window = findWindowOf(display_, pid)) return window;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return 0;
}

bool XDesktop::waitForPicture(unsigned long window, double seconds) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (std::chrono::steady_clock::now() < deadline) {
        XWindowAttributes attributes{};
        if (!XGetWindowAttributes(display_, window, &attributes)) return false;
        if (XImage* image = XGetImage(display_, window, 0, 0, static_cast<unsigned>(attributes.width),
                                      static_cast<unsigned>(attributes.height), AllPlanes, ZPixmap)) {
            bool drawn = false;
            for (int y = 0; y < image->height && !drawn; ++y) {
                for (int x = 0; x < image->width && !drawn; ++x) drawn = (XGetPixel(image, x, y) & 0xFFFFFF) != 0;
            }
            XDestroyImage(image);
            if (drawn) return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return false;
}

bool XDesktop::pressEscape(unsigned long window) {
    XSetInputFocus(display_, window, RevertToParent, CurrentTime);
    XSync(display_, False);
    const std::string command = "DISPLAY='" + std::string(DisplayString(display_)) + "' xdotool windowfocus --sync " +
                                std::to_string(window) + " key --clearmodifiers Escape";
    return std::system(command.c_str()) == 0;
}

void XDesktop::requestClose(unsigned long window) {
    sendCloseRequest(display_, window);
}

std::optional<ScreenMode> XDesktop::currentMode() {
    XRRScreenConfiguration* config = XRRGetScreenInfo(display_, DefaultRootWindow(display_));
    if (!config) return std::nullopt;
    Rotation rotation = 0;
    const SizeID current = XRRConfigCurrentConfiguration(config, &rotation);
    int count = 0;
    XRRScreenSize* sizes = XRRConfigSizes(config, &count);
    std::optional<ScreenMode> mode;
    if (sizes && current < count) mode = ScreenMode{sizes[current].width, sizes[current].height};
    XRRFreeScreenConfigInfo(config);
    return mode;
}

bool XDesktop::waitForMode(const ScreenMode& mode, double seconds) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    for (;;) {
        if (currentMode() == mode) return true;
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}
