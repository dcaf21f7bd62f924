// Finds, watches, focuses, types into and closes windows on an X server, and
// reads its mode.
#include "tests/support/x_desktop.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <algorithm>
#include <cstdlib>

#include "tests/support/process.h"

namespace {

// Windows come and go while they are looked at; Xlib's default handler would
// end the test for a window that vanished between two requests.
int ignoreXError(Display*, XErrorEvent*) { return 0; }

// A property's raw bytes, of whatever type, whatever the locale.
std::optional<std::string> property(Display* display, Window window, const char* name)
{
    Atom actual = None;
    int format = 0;
    unsigned long items = 0, after = 0;
    unsigned char* data = nullptr;
    std::optional<std::string> value;
    if (XGetWindowProperty(display, window, XInternAtom(display, name, False), 0, 1024, False, AnyPropertyType, &actual,
            &format, &items, &after, &data)
            == Success
        && data && actual != None)
        // Xlib hands 32-bit items over as longs.
        value = std::string(reinterpret_cast<const char*>(data), items * (format == 32 ? sizeof(long) : format / 8));
    if (data)
        XFree(data);
    return value;
}

bool matches(Display* display, Window window, pid_t pid, const std::string& title)
{
    XWindowAttributes attributes {};
    if (!XGetWindowAttributes(display, window, &attributes) || attributes.map_state != IsViewable)
        return false;
    const long wanted = pid;
    if (pid
        && property(display, window, "_NET_WM_PID")
            != std::string(reinterpret_cast<const char*>(&wanted), sizeof wanted))
        return false;
    return title.empty() || property(display, window, "_NET_WM_NAME") == title;
}

// Searches the whole tree, for a window manager may have put the window in a frame.
Window findWindow(Display* display, Window parent, pid_t pid, const std::string& title)
{
    Window root = 0, grandparent = 0, *children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(display, parent, &root, &grandparent, &children, &count))
        return 0;
    Window found = 0;
    for (unsigned i = 0; i < count && !found; ++i)
        found = matches(display, children[i], pid, title) ? children[i] : findWindow(display, children[i], pid, title);
    if (children)
        XFree(children);
    return found;
}

}  // namespace

// The server resets when its last client leaves, and refuses connections while
// it does; the previous test's programs may just have left.
XDesktop::XDesktop(const char* name)
{
    XSetErrorHandler(ignoreXError);
    pollUntil(5, [&] { return (display_ = XOpenDisplay(name)) != nullptr; });
}

XDesktop::~XDesktop()
{
    if (display_)
        XCloseDisplay(display_);
}

unsigned long XDesktop::waitForWindow(pid_t pid, const std::string& title, double seconds)
{
    Window window = 0;
    pollUntil(seconds, [&] { return (window = findWindow(display_, DefaultRootWindow(display_), pid, title)) != 0; });
    return window;
}

unsigned long XDesktop::focusedWindow()
{
    Window focus = 0;
    int revert = 0;
    XGetInputFocus(display_, &focus, &revert);
    return focus;
}

WindowPicture XDesktop::grab(unsigned long window)
{
    const std::optional<ScreenMode> size = windowSize(window);
    XImage* image = size ? XGetImage(display_, window, 0, 0, static_cast<unsigned>(size->width),
                        static_cast<unsigned>(size->height), AllPlanes, ZPixmap)
                         : nullptr;
    if (!image)
        return {};
    WindowPicture picture {size->width, size->height, {}};
    // The servers run 24-bit colour: red, green and blue a byte each, from the top.
    for (int y = 0; y < picture.height; ++y)
        for (int x = 0; x < picture.width; ++x)
            for (int shift : {16, 8, 0})
                picture.rgb.push_back(static_cast<uint8_t>(XGetPixel(image, x, y) >> shift));
    XDestroyImage(image);
    return picture;
}

bool XDesktop::waitForPicture(unsigned long window, double seconds)
{
    return pollUntil(seconds, [&] {
        const std::vector<uint8_t> rgb = grab(window).rgb;
        return std::any_of(rgb.begin(), rgb.end(), [](uint8_t c) { return c != 0; });
    });
}

bool XDesktop::pictureMoves(unsigned long window)
{
    const WindowPicture before = grab(window);
    pause(0.4);
    return grab(window) != before;
}

void XDesktop::focus(unsigned long window)
{
    XSetInputFocus(display_, window, RevertToParent, CurrentTime);
    XSync(display_, False);
}

bool XDesktop::press(unsigned long window, const std::string& keys)
{
    focus(window);
    return xdotool("windowfocus --sync " + std::to_string(window) + " key --clearmodifiers --delay 50 " + keys);
}

bool XDesktop::xdotool(const std::string& arguments)
{
    const std::string command
        = "DISPLAY='" + std::string(DisplayString(display_)) + "' timeout 10 xdotool " + arguments;
    return std::system(command.c_str()) == 0;
}

bool XDesktop::requestClose(unsigned long window)
{
    XEvent event {};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(display_, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(display_, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    const bool sent = XSendEvent(display_, window, False, NoEventMask, &event) != 0;
    XFlush(display_);
    return sent;
}

std::optional<ScreenMode> XDesktop::windowSize(unsigned long window)
{
    XWindowAttributes attributes {};
    if (!XGetWindowAttributes(display_, window, &attributes))
        return std::nullopt;
    return ScreenMode {attributes.width, attributes.height};
}

// The root window takes the size of the mode the screen is switched to.
std::optional<ScreenMode> XDesktop::currentMode() { return windowSize(DefaultRootWindow(display_)); }

bool XDesktop::waitForMode(const ScreenMode& mode, double seconds)
{
    return pollUntil(seconds, [&] { return currentMode() == mode; });
}
