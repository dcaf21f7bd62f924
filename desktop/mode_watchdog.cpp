// The forked watcher that puts the desktop's display mode back through XRandR
// once the show is gone.
#include "desktop/mode_watchdog.h"

#include <X11/Xlib.h>
#include <X11/extensions/Xrandr.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <optional>
#include <vector>

RestoreChoice chooseRestore(const CrtcMode& desktop, int shownWidth, int shownHeight, const CrtcMode& now)
{
    if (now.id == desktop.id)
        return RestoreChoice::AlreadyBack;
    // Only the size is known of the show's mode: SDL picks the mode itself.
    if (now.width == shownWidth && now.height == shownHeight)
        return RestoreChoice::Restore;
    return RestoreChoice::ChangedByUser;
}

namespace {

// Everything needed to set the desktop's mode again from another connection.
struct DesktopLayout {
    RRCrtc crtc = 0;
    CrtcMode mode;
    int x = 0, y = 0;
    Rotation rotation = RR_Rotate_0;
    std::vector<RROutput> outputs;
    int screenWidth = 0, screenHeight = 0, screenWidthMm = 0, screenHeightMm = 0;
};

// Xwayland fakes mode switches for each client and drops them when the
// client goes: there is nothing to put back.
bool isXwayland(Display* display, XRRScreenResources* resources)
{
    int opcode = 0, event = 0, error = 0;
    if (XQueryExtension(display, "XWAYLAND", &opcode, &event, &error))
        return true;
    for (int i = 0; i < resources->noutput; ++i) {
        XRROutputInfo* output = XRRGetOutputInfo(display, resources, resources->outputs[i]);
        const bool named = output && std::strncmp(output->name, "XWAYLAND", 8) == 0;
        if (output)
            XRRFreeOutputInfo(output);
        if (named)
            return true;
    }
    return false;
}

// The CRTC of the primary output, where SDL's first display and so the show
// window are; without a primary, the first output that drives a CRTC.
RRCrtc watchedCrtc(Display* display, Window root, XRRScreenResources* resources)
{
    auto crtcOf = [&](RROutput id) -> RRCrtc {
        XRROutputInfo* output = XRRGetOutputInfo(display, resources, id);
        const RRCrtc crtc = output ? output->crtc : 0;
        if (output)
            XRRFreeOutputInfo(output);
        return crtc;
    };
    if (const RROutput primary = XRRGetOutputPrimary(display, root)) {
        if (const RRCrtc crtc = crtcOf(primary))
            return crtc;
    }
    for (int i = 0; i < resources->noutput; ++i) {
        if (const RRCrtc crtc = crtcOf(resources->outputs[i]))
            return crtc;
    }
    return 0;
}

CrtcMode describeMode(const XRRScreenResources* resources, RRMode id)
{
    CrtcMode mode;
    mode.id = id;
    for (int i = 0; i < resources->nmode; ++i) {
        if (resources->modes[i].id == id) {
            mode.width = static_cast<int>(resources->modes[i].width);
            mode.height = static_cast<int>(resources->modes[i].height);
        }
    }
    return mode;
}

CrtcMode currentMode(Display* display, XRRScreenResources* resources, RRCrtc crtc)
{
    XRRCrtcInfo* info = XRRGetCrtcInfo(display, resources, crtc);
    if (!info)
        return CrtcMode {};
    const CrtcMode mode = describeMode(resources, info->mode);
    XRRFreeCrtcInfo(info);
    return mode;
}

std::optional<DesktopLayout> recordLayout(Display* display)
{
    int event = 0, error = 0, major = 0, minor = 0;
    if (!XRRQueryExtension(display, &event, &error) || !XRRQueryVersion(display, &major, &minor)
        || (major == 1 && minor < 2))
        return std::nullopt;
    const int screen = DefaultScreen(display);
    const Window root = RootWindow(display, screen);
    XRRScreenResources* resources = XRRGetScreenResourcesCurrent(display, root);
    if (!resources)
        return std::nullopt;
    std::optional<DesktopLayout> layout;
    const RRCrtc crtc = isXwayland(display, resources) ? 0 : watchedCrtc(display, root, resources);
    if (XRRCrtcInfo* info = crtc ? XRRGetCrtcInfo(display, resources, crtc) : nullptr) {
        if (info->mode != None) {
            layout.emplace();
            layout->crtc = crtc;
            layout->mode = describeMode(resources, info->mode);
            layout->x = info->x;
            layout->y = info->y;
            layout->rotation = info->rotation;
            layout->outputs.assign(info->outputs, info->outputs + info->noutput);
            layout->screenWidth = DisplayWidth(display, screen);
            layout->screenHeight = DisplayHeight(display, screen);
            layout->screenWidthMm = DisplayWidthMM(display, screen);
            layout->screenHeightMm = DisplayHeightMM(display, screen);
        }
        XRRFreeCrtcInfo(info);
    }
    XRRFreeScreenResources(resources);
    return layout;
}

// Under a server grab, so the user cannot change the mode between the look and the set.
void putBackIfShown(Display* display, const DesktopLayout& layout, int shownWidth, int shownHeight)
{
    const int screen = DefaultScreen(display);
    const Window root = RootWindow(display, screen);
    XGrabServer(display);
    if (XRRScreenResources* resources = XRRGetScreenResourcesCurrent(display, root)) {
        const CrtcMode now = currentMode(display, resources, layout.crtc);
        if (chooseRestore(layout.mode, shownWidth, shownHeight, now) == RestoreChoice::Restore) {
            // A screen of another size cannot take the old mode while the CRTC
            // still shows the other one; switch it off for the resize.
            if (DisplayWidth(display, screen) != layout.screenWidth
                || DisplayHeight(display, screen) != layout.screenHeight) {
                XRRSetCrtcConfig(display, resources, layout.crtc, CurrentTime, 0, 0, None, RR_Rotate_0, nullptr, 0);
                XRRSetScreenSize(display, root, layout.screenWidth, layout.screenHeight, layout.screenWidthMm,
                    layout.screenHeightMm);
            }
            XRRSetCrtcConfig(display, resources, layout.crtc, CurrentTime, layout.x, layout.y, layout.mode.id,
                layout.rotation, const_cast<RROutput*>(layout.outputs.data()), static_cast<int>(layout.outputs.size()));
        }
        XRRFreeScreenResources(resources);
    }
    XUngrabServer(display);
    XSync(display, False);
}

int ignoreXError(Display*, XErrorEvent*) { return 0; }

// Xlib's own handlers would call exit(), which runs the show's exit handlers
// in this copy of the show.
int leaveOnLostServer(Display*) { _exit(0); }

// The watcher, in the forked child: never returns.
[[noreturn]] void watch(int readEnd, const DesktopLayout& layout, int shownWidth, int shownHeight)
{
    // Ctrl-C in a terminal reaches the whole process group; the watcher must
    // outlive the show, so only the pipe ends it.
    for (int number : {SIGINT, SIGTERM, SIGHUP, SIGQUIT})
        signal(number, SIG_IGN);
    sigset_t all;
    sigfillset(&all);
    sigprocmask(SIG_UNBLOCK, &all, nullptr);
    // The show's files (its X connection, sound device, stdout) are not the
    // watcher's to hold open; stderr stays, so whatever goes wrong here is seen.
    if (readEnd != 3)
        dup2(readEnd, 3);
    const int null = open("/dev/null", O_RDWR);
    if (null >= 0) {
        dup2(null, STDIN_FILENO);
        dup2(null, STDOUT_FILENO);
    }
    close_range(4, ~0U, 0);

    char byte = 0;
    for (;;) {
        const ssize_t n = read(3, &byte, 1);
        if (n == 0 || (n < 0 && errno != EINTR))
            break;
    }
    XSetErrorHandler(ignoreXError);
    XSetIOErrorHandler(leaveOnLostServer);
    if (Display* display = XOpenDisplay(nullptr)) {
        putBackIfShown(display, layout, shownWidth, shownHeight);
        XCloseDisplay(display);
    }
    _exit(0);
}

}  // namespace

ModeWatchdog::~ModeWatchdog() { stop(); }

bool ModeWatchdog::start(int width, int height)
{
    stop();
    Display* display = XOpenDisplay(nullptr);
    if (!display)
        return false;
    const std::optional<DesktopLayout> layout = recordLayout(display);
    XCloseDisplay(display);
    if (!layout)
        return false;

    // Close-on-exec keeps the show's end out of programs it runs (ffmpeg):
    // the watcher must see the end of the show, not of its helpers.
    int ends[2];
    if (pipe2(ends, O_CLOEXEC) != 0)
        return false;
    const pid_t pid = fork();
    if (pid == 0)
        watch(ends[0], *layout, width, height);
    close(ends[0]);
    if (pid < 0) {
        close(ends[1]);
        return false;
    }
    watcher_ = pid;
    pipeEnd_ = ends[1];
    return true;
}

void ModeWatchdog::stop()
{
    if (pipeEnd_ >= 0) {
        close(pipeEnd_);
        pipeEnd_ = -1;
    }
    if (watcher_ > 0) {
        while (waitpid(watcher_, nullptr, 0) < 0 && errno == EINTR) { }
        watcher_ = -1;
    }
}
