// Opens, keeps and closes the show's SDL window and GL context, and sets the
// letterbox viewport and projection.
#include "desktop/window.h"

#include <cstring>

#include "desktop/compositor_loss.h"
#include "desktop/display_loss.h"
#include "gfx/gl_api.h"
#include "show/camera_projection.h"

std::optional<Letterbox> letterboxFor(int w, int h, AspectCode aspect)
{
    if (aspect == AspectCode::Other || h == 0)
        return std::nullopt;
    float vw = static_cast<float>(w);
    float vh = static_cast<float>(w) / 1.6f;
    if (vh > static_cast<float>(h)) {
        vh = static_cast<float>(h);
        vw = static_cast<float>(h) * 1.6f;
    }
    Letterbox box;
    box.width = static_cast<int>(vw);
    box.height = static_cast<int>(vh);
    box.x = (w - box.width) / 2;
    box.y = (h - box.height) / 2;
    box.aspect = static_cast<float>(box.width) / static_cast<float>(box.height);
    return box;
}

bool setupProjection(int w, int h, AspectCode aspect)
{
    const std::optional<Letterbox> box = letterboxFor(w, h, aspect);
    if (!box)
        return false;
    setupCameraProjection(box->x, box->y, box->width, box->height);
    return true;
}

void readGLVersion(WindowRecord& app)
{
    const GLVersion version = ::readGLVersion();
    app.glMajor = version.major;
    app.glMinor = version.minor;
}

void drawableSize(const WindowRecord& app, int& w, int& h)
{
    if (app.window)
        SDL_GL_GetDrawableSize(app.window, &w, &h);
}

namespace {

void setContextAttributes()
{
    SDL_GL_ResetAttributes();
    SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_ALPHA_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 24);
    SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    SDL_GL_SetAttribute(SDL_GL_MULTISAMPLEBUFFERS, 0);
    SDL_GL_SetAttribute(SDL_GL_MULTISAMPLESAMPLES, 0);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
    // Asking for 1.0 gets the newest compatibility context the driver has; an
    // older driver still gets a context, and the loader then names what it lacks.
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 1);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 0);
}

// Full screen runs in the requested mode, at the desktop's refresh rate.
bool switchToMode(WindowRecord& app, std::string& error)
{
    SDL_DisplayMode wanted {};
    wanted.w = app.width;
    wanted.h = app.height;
    SDL_DisplayMode desktop {};
    const int display = SDL_GetWindowDisplayIndex(app.window);
    if (SDL_GetDesktopDisplayMode(display < 0 ? 0 : display, &desktop) == 0)
        wanted.refresh_rate = desktop.refresh_rate;
    // The desktop's own size needs no switch. On a scaled Wayland output that
    // size is in points while SDL's modes are in pixels: the mode of that name
    // would draw a quarter of the pixels, in the middle of the screen.
    if (desktop.w == app.width && desktop.h == app.height) {
        if (SDL_SetWindowFullscreen(app.window, SDL_WINDOW_FULLSCREEN_DESKTOP) == 0)
            return true;
        error = std::string("cannot switch the display to full screen (") + SDL_GetError() + "); try --windowed";
        return false;
    }
    SDL_DisplayMode closest {};
    if (!SDL_GetClosestDisplayMode(display < 0 ? 0 : display, &wanted, &closest) || closest.w != app.width
        || closest.h != app.height) {
        error = "the display offers no " + std::to_string(app.width) + "x" + std::to_string(app.height)
            + " mode; choose a listed size or run --windowed";
        return false;
    }
    // SDL gives the desktop its mode back on an orderly close only; the
    // watchdog also does when the show is killed or crashes.
    const char* driver = SDL_GetCurrentVideoDriver();
    if (driver && std::strcmp(driver, "x11") == 0)
        app.modeWatchdog.start(closest.w, closest.h);
    if (SDL_SetWindowDisplayMode(app.window, &closest) != 0
        || SDL_SetWindowFullscreen(app.window, SDL_WINDOW_FULLSCREEN) != 0) {
        error = std::string("cannot switch the display to full screen (") + SDL_GetError() + "); try --windowed";
        return false;
    }
    return true;
}

void setSwapInterval(bool vsync)
{
    if (!vsync) {
        SDL_GL_SetSwapInterval(0);
        return;
    }
    if (SDL_GL_SetSwapInterval(-1) != 0)
        SDL_GL_SetSwapInterval(1);
}

}  // namespace

// Xwayland lists other sizes but fakes the switch to them, and the compositor
// then makes the window as large as the output: a show at another size than
// chosen would be a silent lie, so it stops instead.
bool fullScreenKeptItsSize(const WindowRecord& app, std::string& error)
{
    if (!app.window || !app.fullscreen)
        return true;
    int w = 0, h = 0;
    SDL_GetWindowSize(app.window, &w, &h);
    if (w == app.windowWidth && h == app.windowHeight)
        return true;
    error = "full screen at " + std::to_string(app.windowWidth) + "x" + std::to_string(app.windowHeight) + " came out "
        + std::to_string(w) + "x" + std::to_string(h) + " (the display cannot switch to that size); use --size "
        + std::to_string(w) + "x" + std::to_string(h) + " or --windowed";
    return false;
}

bool openWindow(WindowRecord& app, std::string& error)
{
    app.samples = 0;
    const char* noDisplay = "cannot open a display (none is reachable); run inside a desktop session or set DISPLAY";
    if (app.needsDisplay && !displayNamed()) {
        error = noDisplay;
        return false;
    }
    // With no display to try, SDL goes straight off screen, rather than probe
    // for Wayland and have its library complain on stderr.
    if (!app.needsDisplay && !displayNamed())
        SDL_SetHint(SDL_HINT_VIDEODRIVER, "offscreen");
    if (SDL_InitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS) != 0) {
        error = std::string("cannot open a display (") + SDL_GetError()
            + "); run inside a desktop session or set DISPLAY";
        return false;
    }
    installDisplayLossHandler();
    // A show nobody can see is no show: SDL would quietly render off screen.
    if (app.needsDisplay && !videoDriverShowsPictures()) {
        error = noDisplay;
        return false;
    }
    setContextAttributes();

    Uint32 flags = SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN | SDL_WINDOW_ALLOW_HIGHDPI;
    if (app.fullscreen)
        flags |= SDL_WINDOW_BORDERLESS;
    app.window = SDL_CreateWindow(kWindowTitle, 0, 0, app.width, app.height, flags);
    if (!app.window) {
        error = std::string("cannot create the window (") + SDL_GetError() + ")";
        return false;
    }
    if (app.fullscreen && !switchToMode(app, error))
        return false;

    app.glContext = SDL_GL_CreateContext(app.window);
    if (!app.glContext) {
        error = std::string("cannot create an OpenGL context (") + SDL_GetError() + "); check the graphics driver";
        return false;
    }
    if (SDL_GL_MakeCurrent(app.window, app.glContext) != 0) {
        error = std::string("cannot make the OpenGL context current (") + SDL_GetError() + ")";
        return false;
    }
    readGLVersion(app);
    const GLVersion version {app.glMajor, app.glMinor};
    const char* extensions = reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS));
    if (!app.extensions.load(version, extensions, SDL_GL_GetProcAddress)) {
        error = std::string(app.extensions.failureText()) + "; update the graphics driver";
        return false;
    }
    setSwapInterval(app.vsync);

    // SDL waits for the compositor's first answer to a shown window and would
    // wait on a lost compositor for ever (see compositor_loss.h).
    if (compositorLost(app.window, error))
        return false;
    SDL_ShowWindow(app.window);
    SDL_RaiseWindow(app.window);
    app.windowWidth = app.width;
    app.windowHeight = app.height;
    if (app.fullscreen) {
        // The window manager's answer to full screen may be here already; a
        // later one reaches the frame loop as a resize (keepWindowSize()).
        SDL_PumpEvents();
        if (!fullScreenKeptItsSize(app, error))
            return false;
        SDL_ShowCursor(SDL_DISABLE);
    }
    drawableSize(app, app.width, app.height);
    setupProjection(app.width, app.height, app.aspectMode());
    return true;
}

bool keepWindowSize(WindowRecord& app)
{
    if (!app.window)
        return true;
    if (app.fullscreen) {
        std::string error;
        return fullScreenKeptItsSize(app, error);
    }
    int w = 0, h = 0;
    SDL_GetWindowSize(app.window, &w, &h);
    if (w != app.windowWidth || h != app.windowHeight)
        SDL_SetWindowSize(app.window, app.windowWidth, app.windowHeight);
    drawableSize(app, w, h);
    setupProjection(w, h, app.aspectMode());
    return true;
}

void closeWindow(WindowRecord& app)
{
    SDL_ShowCursor(SDL_ENABLE);
    if (app.glContext) {
        SDL_GL_MakeCurrent(app.window, nullptr);
        SDL_GL_DeleteContext(app.glContext);
        app.glContext = nullptr;
    }
    if (app.window) {
        // Leaving full screen first restores the desktop mode before the window goes.
        if (app.fullscreen)
            SDL_SetWindowFullscreen(app.window, 0);
        SDL_DestroyWindow(app.window);
        app.window = nullptr;
    }
    app.modeWatchdog.stop();
}
