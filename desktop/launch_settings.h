// launch_settings.h: what the show is launched with, in one place.
//
// The command line and the desktop resolve it once (resolveLaunchSettings in
// app/options.h); the launch dialog, when it runs, edits the same value in
// place on Launch; the window opens from it. The application record carries it
// as its base, so every stage reads and writes the one copy.
//
//   LaunchSettings& settings = app;
//   settings = resolveLaunchSettings(options, desktopMode());
//   runLaunchDialog(settings, app.displayModes, app.maxSamples);  // Launch may change any field
//   openWindow(app, error);          // width and height become the drawable's
#pragma once

#include <optional>

#include "desktop/display_modes.h"

struct LaunchSettings {
    // The window's or full-screen mode's size; once the window is open, the
    // drawable's size in pixels.
    int width = 0;
    int height = 0;
    // The command line named the size: the dialog shows an unlisted one as
    // typed text rather than nothing.
    bool sizeGiven = false;
    int bitsPerPixel = 32;
    std::optional<AspectCode> aspect;  // empty: "auto", the desktop's
    AspectCode desktopAspect = AspectCode::Other;
    int samples = 0;
    bool fullscreen = false;
    bool vsync = true;  // swap interval: adaptive (else 1) when set, 0 when clear
    bool musicEnabled = true;
    bool needsDisplay = true;  // false for capture and benchmarks, which may render off screen

    // The aspect the picture is projected for.
    AspectCode aspectMode() const { return aspect.value_or(desktopAspect); }
};
