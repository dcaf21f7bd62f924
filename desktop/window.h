// window.h: the show's window and its OpenGL context, over SDL2.
//
// WindowRecord is the window's part of the application record (DemoApplication
// derives from it): the launch settings it opens from and the handles opening
// it makes. openWindow() turns the record's settings into one window at (0, 0) whose
// client area has the requested size (width and height then hold the drawable's
// size in pixels, larger on high-density displays), with a current compatibility context
// (double-buffered RGBA, 24 depth bits, stencil), the GL entry points loaded,
// the swap interval set from `vsync`, and the 16:10 letterbox viewport and
// projection. Full screen switches the display to the requested mode; SDL puts
// the desktop mode back when the window goes away, and on X11 a watchdog
// process (desktop/mode_watchdog.h) does so even when the show is killed or
// crashes. closeWindow() undoes
// everything and is safe to call on a half-open or closed record.
//
//   std::string error;
//   if (!openWindow(app, error)) { print error; closeWindow(app); }
#pragma once

#include <optional>
#include <string>

#include <SDL.h>

#include "desktop/display_modes.h"
#include "desktop/launch_settings.h"
#include "desktop/mode_watchdog.h"
#include "gfx/gl_loader.h"

inline constexpr const char* kWindowTitle = "brindle2o16";

// The launch settings are the record's base: the dialog edits them in place
// and the window opens from them.
struct WindowRecord : LaunchSettings {
    int windowWidth = 0;  // the window's size in screen units (differs on high-density displays)
    int windowHeight = 0;
    SDL_Window* window = nullptr;       // null when none
    SDL_GLContext glContext = nullptr;  // null when none
    ModeWatchdog modeWatchdog;          // watches a full-screen mode switch on X11
    int glMajor = 0;
    int glMinor = 0;
    ExtensionLoader extensions;
};

struct Letterbox {
    int x = 0, y = 0, width = 0, height = 0;
    float aspect = 0.0f;  // width / height of the box, single precision
};

// The centred 16:10 box inside a w × h drawable for any of the four ratios.
// Returns nullopt for AspectCode::Other or when h is 0 (nothing is to be set).
std::optional<Letterbox> letterboxFor(int w, int h, AspectCode aspect);

// Sets the letterbox viewport and the camera's perspective for it (show/camera_projection.h).
// Returns false, touching no GL state, when letterboxFor() gives nullopt.
bool setupProjection(int w, int h, AspectCode aspect);

// Reads the context's GL_VERSION into glMajor and glMinor.
void readGLVersion(WindowRecord& app);

// Opens the window and context and loads the GL entry points. On failure
// returns false with one line in `error`; call closeWindow() to tidy up.
bool openWindow(WindowRecord& app, std::string& error);

// The size of the window's drawable in pixels (differs from the window size on
// high-density displays).
void drawableSize(const WindowRecord& app, int& w, int& h);

// Whether a full-screen window has the size chosen. The window manager
// answers full screen when it gets to it, under load well after the window
// showed, so this holds for the whole show, not only at its start. False with
// one line in `error`; a window that is not full screen always passes.
bool fullScreenKeptItsSize(const WindowRecord& app, std::string& error);

// Puts the window back to its size after something resized it, and sets the
// letterbox again for the drawable it then has. False when a full-screen
// window came out at another size (fullScreenKeptItsSize() says why): the show
// stops then.
bool keepWindowSize(WindowRecord& app);

// Deletes the context and destroys the window; clears the handles.
void closeWindow(WindowRecord& app);
