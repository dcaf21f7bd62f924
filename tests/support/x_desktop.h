// What the process suites do to and ask of an X server, as a user or a window
// manager would: find a window, see that it draws, focus it and type into it,
// ask it to close, and read the screen's mode. Titles are read as the raw
// bytes of _NET_WM_NAME, so a lookup gives the same answer whatever locale the
// calling process runs in, also after GTK has set a UTF-8 one.
// Keep one XDesktop for a whole test: while it is connected the server does
// not reset between the programs the test starts.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct ScreenMode {
    int width = 0, height = 0;
    bool operator==(const ScreenMode&) const = default;
};

// A window's pixels as 8-bit RGB, top row first.
struct WindowPicture {
    int width = 0, height = 0;
    std::vector<uint8_t> rgb;
    bool operator==(const WindowPicture&) const = default;
};

class XDesktop {
public:
    // Connects to `name` (DISPLAY when null); ok() is false when that fails.
    explicit XDesktop(const char* name = nullptr);
    ~XDesktop();
    XDesktop(const XDesktop&) = delete;
    XDesktop& operator=(const XDesktop&) = delete;

    bool ok() const { return display_ != nullptr; }
    // A viewable window of process `pid` (any when 0) titled exactly `title`
    // (any when empty); 0 when none turns up within `seconds`.
    unsigned long waitForWindow(pid_t pid, const std::string& title, double seconds);
    unsigned long focusedWindow();
    // The window's pixels as the server holds them; empty when it is gone.
    WindowPicture grab(unsigned long window);
    // Waits until `window` shows anything but black, i.e. its program draws
    // frames (a window opens while its program is still loading).
    bool waitForPicture(unsigned long window, double seconds);
    // Whether the window's picture changes within 0.4 s; a paused show's holds.
    bool pictureMoves(unsigned long window);
    // Gives `window` the keyboard focus, as a click on it would.
    void focus(unsigned long window);
    // Focuses `window` and presses `keys` (X key names, space-separated) in it.
    bool press(unsigned long window, const std::string& keys);
    // Any other xdotool command on this server, e.g. "type 1280x720".
    bool xdotool(const std::string& arguments);
    // Sends WM_DELETE_WINDOW, what a window manager sends for the close box.
    bool requestClose(unsigned long window);
    std::optional<ScreenMode> windowSize(unsigned long window);
    // The screen's current mode, asked of the server (not a cached value).
    std::optional<ScreenMode> currentMode();
    bool waitForMode(const ScreenMode& mode, double seconds);

private:
    struct _XDisplay* display_ = nullptr;
};
