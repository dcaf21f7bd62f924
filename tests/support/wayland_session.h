// wayland_session.h: a Wayland compositor as the process suites use it,
// through scripts/with-wayland-server.sh: the one the script started for the
// whole test run, or one of a test's own (to kill it, or with a scaled
// output). It gives the environment of a native Wayland or an Xwayland
// client, reads the output's pixels and types into the focused client through
// the X server that hosts the compositor, as a user at that screen would.
//
//   WaylandSession wayland;
//   if (!wayland.ok()) GTEST_SKIP();
//   Process show(program, args, wayland.nativeEnv());
//   wayland.waitForChange(60);
//   wayland.press("Escape");
#pragma once

#include <sys/types.h>

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "tests/support/process.h"
#include "tests/support/x_desktop.h"

class WaylandSession {
public:
    // The compositor of the test run; ok() is false when the run has none.
    WaylandSession();
    // A compositor of its own with `scale` pixels per point, stopped with the object;
    // ok() is false when the test run has no Wayland server either.
    explicit WaylandSession(int scale);
    ~WaylandSession();
    WaylandSession(const WaylandSession&) = delete;
    WaylandSession& operator=(const WaylandSession&) = delete;

    bool ok() const { return window_ != 0; }
    // Variables ("NAME=VALUE", "NAME=" removes) for a client of the
    // compositor itself, toolkit included, or for one of its Xwayland.
    std::vector<std::string> nativeEnv() const;
    std::vector<std::string> xwaylandEnv() const;
    // What the output shows now.
    WindowPicture output() { return desktop_->grab(window_); }
    // Waits until more than `share` of the output's pixels differ from what it
    // showed when the session began, an empty desktop: a window came up.
    bool waitForChange(double seconds, double share = 0.01);
    // Presses `keys` (X key names) in the client that has the keyboard focus.
    bool press(const std::string& keys);
    // Kills the compositor at once (a session of its own only).
    void killCompositor();
    // The last lines of the compositor's log, for a failure message.
    std::string logTail() const;

private:
    // A cursor's worth of pixels.
    static constexpr double kEmptyShare = 0.001;
    // The desktop's colour, as scripts/with-wayland-server.sh sets it.
    static constexpr std::array<uint8_t, 3> kBackground {0x20, 0x40, 0x60};

    void connect();

    std::unique_ptr<Process> server_;
    pid_t holder_ = 0;  // the command the script runs for an own compositor
    std::string display_, xwayland_, host_, log_;
    pid_t compositor_ = 0;
    std::unique_ptr<XDesktop> desktop_;
    unsigned long window_ = 0;
    WindowPicture empty_;
};
