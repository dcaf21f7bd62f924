// mode_watchdog.h: puts the desktop's display mode back however the show ends.
//
// SDL gives the desktop its mode back when the show closes in order, but a
// show that is killed or crashes leaves the display in the show's mode. So
// before the show switches modes on X11, start() records the desktop's mode
// through XRandR and forks a watcher that waits on a pipe. The kernel closes
// the show's end of that pipe whichever way the show ends; the watcher then
// puts the recorded mode back if the display still runs the show's size, and
// exits. A mode that is back already, or that the user has chosen since, is
// left alone. Under Wayland nothing is switched, so nothing is watched.
//
//   ModeWatchdog watchdog;
//   watchdog.start(800, 600);   // just before the switch to 800x600
//   ...                         // the show; a crash here is covered
//   watchdog.stop();            // after the show has put the mode back itself
#pragma once

#include <sys/types.h>

// A CRTC's mode as the watcher compares it: the XRandR mode id and its size.
struct CrtcMode {
    unsigned long id = 0;  // 0: the CRTC is off
    int width = 0;
    int height = 0;
};

enum class RestoreChoice {
    Restore,        // the display still runs the show's size: put the desktop's mode back
    AlreadyBack,    // the desktop's mode is set; nothing to do
    ChangedByUser,  // some other mode is set: not the show's doing, so it stays
};

// What the watcher does once the show is gone, given the desktop's recorded
// mode, the size the show switched to and the mode the display runs now.
RestoreChoice chooseRestore(const CrtcMode& desktop, int shownWidth, int shownHeight, const CrtcMode& now);

class ModeWatchdog {
public:
    ModeWatchdog() = default;
    ~ModeWatchdog();
    ModeWatchdog(const ModeWatchdog&) = delete;
    ModeWatchdog& operator=(const ModeWatchdog&) = delete;

    // Records the desktop's mode on DISPLAY and starts the watcher for a
    // switch to width × height. False, with nothing started, when there is no
    // X display with XRandR, it is Xwayland, or the watcher cannot be forked.
    bool start(int width, int height);
    // Closes the show's end of the pipe and waits for the watcher to finish.
    void stop();
    bool watching() const { return watcher_ > 0; }

private:
    pid_t watcher_ = -1;
    int pipeEnd_ = -1;
};
