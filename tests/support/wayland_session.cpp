// The Wayland compositor a process test runs the program under, shared or
// of its own.
#include "tests/support/wayland_session.h"

#include <unistd.h>

#include <algorithm>
#include <array>
#include <csignal>
#include <cstdlib>
#include <sstream>

namespace {

std::string variable(const char* name)
{
    const char* value = std::getenv(name);
    return value ? value : "";
}

// The share of the pixels of `picture` unlike the one of `other` at the same
// place, or unlike `colour` where `other` is null.
double shareBesides(
    const WindowPicture& picture, const std::array<uint8_t, 3>& colour, const WindowPicture* other = nullptr)
{
    size_t count = 0;
    for (size_t i = 0; i + 3 <= picture.rgb.size(); i += 3)
        count += !std::equal(&picture.rgb[i], &picture.rgb[i] + 3, other ? &other->rgb[i] : colour.data());
    return static_cast<double>(count) / static_cast<double>(picture.rgb.size() / 3);
}

}  // namespace

WaylandSession::WaylandSession()
    : display_(variable("BRINDLE_WAYLAND_DISPLAY"))
    , xwayland_(variable("BRINDLE_XWAYLAND_DISPLAY"))
    , host_(variable("BRINDLE_WAYLAND_HOST_DISPLAY"))
    , log_(variable("BRINDLE_WAYLAND_LOG"))
{
    if (!display_.empty())
        connect();
}

WaylandSession::WaylandSession(int scale)
{
    if (variable("BRINDLE_WAYLAND_DISPLAY").empty())
        return;
    // The script's command reports where everything is and then holds the
    // compositor up until it is ended; its own pid comes first ($$ survives exec).
    server_ = std::make_unique<Process>(BRINDLE_WAYLAND_SCRIPT,
        std::vector<std::string> {"--scale", std::to_string(scale), "sh", "-c",
            "echo $$ $BRINDLE_WAYLAND_PID $BRINDLE_WAYLAND_DISPLAY $BRINDLE_XWAYLAND_DISPLAY "
            "$BRINDLE_WAYLAND_HOST_DISPLAY $BRINDLE_WAYLAND_LOG; exec sleep 600"});
    server_->awaitText(STDOUT_FILENO, "\n", 30);
    std::istringstream words(server_->outSoFar());
    words >> holder_ >> compositor_ >> display_ >> xwayland_ >> host_ >> log_;
    if (words)
        connect();
}

WaylandSession::~WaylandSession()
{
    desktop_.reset();
    if (!server_)
        return;
    // Ending the held command lets the script stop its servers in order.
    if (holder_ > 0)
        kill(holder_, SIGTERM);
    server_->finish(30);
}

void WaylandSession::connect()
{
    desktop_ = std::make_unique<XDesktop>(host_.c_str());
    // The compositor's output is the one window on the server that hosts it.
    window_ = desktop_->ok() ? desktop_->waitForWindow(0, "", 10) : 0;
    // The output's window takes the keyboard now, as a user's nested
    // compositor has it, not at the first key: weston's x11 back end now and
    // then loses the focus-in of that change after taking the focus-out, and
    // the client that had the keyboard keeps none until the next focus-in.
    if (window_)
        desktop_->focus(window_);
    // The compositor fades its desktop in from black, and the last test's
    // window may still be leaving: the empty desktop is the first picture
    // that holds still and shows the background all over, the cursor aside.
    for (int i = 0; i < 100 && window_; ++i) {
        const WindowPicture before = output();
        pause(0.3);
        empty_ = output();
        if (empty_ == before && !empty_.rgb.empty() && shareBesides(empty_, kBackground) <= kEmptyShare)
            break;
    }
}

std::vector<std::string> WaylandSession::nativeEnv() const
{
    // A Wayland desktop session names both displays and leaves the choice to the program.
    return {"WAYLAND_DISPLAY=" + display_, "DISPLAY=" + xwayland_, "SDL_VIDEODRIVER=", "GDK_BACKEND="};
}

std::vector<std::string> WaylandSession::xwaylandEnv() const
{
    std::vector<std::string> env = nativeEnv();
    env.insert(env.end(), {"SDL_VIDEODRIVER=x11", "GDK_BACKEND=x11"});
    return env;
}

bool WaylandSession::waitForChange(double seconds, double share)
{
    return pollUntil(
        seconds,
        [&] {
            const WindowPicture now = output();
            return now.rgb.size() != empty_.rgb.size() || shareBesides(now, kBackground, &empty_) > share;
        },
        200);
}

bool WaylandSession::press(const std::string& keys) { return desktop_->press(window_, keys); }

std::string WaylandSession::logTail() const { return runProcess("tail", {"-n", "30", log_}).out; }

void WaylandSession::killCompositor()
{
    if (server_ && compositor_ > 0)
        kill(compositor_, SIGKILL);
}
