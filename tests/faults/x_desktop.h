// x_desktop.h: what the fault cases do to and ask of the X server: find the
// show's window, press Escape in it, ask it to close as a window manager would,
// and read the screen's current mode to see that a run left it as it was.
// Every function needs an X server (DISPLAY unless another is named); none of
// them waits longer than it says. Keep one XDesktop for a whole test: while it
// is connected the server does not reset between the programs the test starts.
#pragma once

#include <sys/types.h>

#include <optional>
#include <string>

struct ScreenMode {
    int width = 0, height = 0;
    bool operator==(const ScreenMode&) const = default;
};

class XDesktop {
public:
    // Connects to `name` (DISPLAY when null); ok() is false when that fails.
    explicit XDesktop(const char* name = nullptr);
    ~XDesktop();
    XDesktop(const XDesktop&) = delete;
    XDesktop& operator=(const XDesktop&) = delete;

    bool ok() const { return display_ != nullptr; }
    // The top-level window whose _NET_WM_PID is `pid`, once it is mapped; 0 after `seconds`.
    unsigned long waitForWindow(pid_t pid, double seconds);
    // Waits until `window` shows anything but black, i.e. the show is drawing
    // frames (its window opens while it is still loading); false after `seconds`.
    bool waitForPicture(unsigned long window, double seconds);
    // Focuses `window` and types Escape into it, as a user would.
    bool pressEscape(unsigned long window);
    // Sends WM_DELETE_WINDOW, what a window manager sends for the close box.
    void requestClose(unsigned long window);
    // The screen's current mode, asked of the server (not a cached value).
    std::optional<ScreenMode> currentMode();
    // Waits until the screen runs `mode`; false after `seconds`.
    bool waitForMode(const ScreenMode& mode, double seconds);

private:
    struct _XDisplay* display_ = nullptr;
};
