// The launch dialog: a small modal GTK window that asks for the resolution,
// aspect ratio, multisampling and the Fullscreen / VSync / Music switches
// before the show window exists, and writes the choices into the record.
//
//   LaunchPreset preset;            // filled from the command line
//   if (runLaunchDialog(app, preset) != LaunchResult::Launch) return -1;   // Quit, Escape, close box, a signal, or no display
//
// The mapping from the controls' states to the record's settings is the plain
// function `applyLaunchControls`, usable without GTK.
#pragma once

#include "app/display_modes.h"

#include <optional>
#include <string>
#include <vector>

struct DemoApplication;

enum class LaunchResult : int {
    Launch = 1004,
    Quit = -1,    // Quit, Escape or the close box
    Failed = -2,  // no display; one line was printed on stderr
    Interrupted = -3,  // a quit signal arrived (quitSignalNumber() names it)
};

// Preselections from the command line; an empty field keeps the dialog's default.
struct LaunchPreset {
    // Selects the listed mode of this size; an unlisted size is shown as typed
    // text with nothing selected, so Launch waits for a listed choice.
    std::optional<int> width, height;
    std::optional<AspectCode> aspect;  // empty: "Auto"
    std::optional<bool> fullscreen;
    std::optional<bool> vsync;
    std::optional<bool> music;
};

// The state of the dialog's controls at the moment Launch is pressed.
struct LaunchControls {
    int resolutionIndex = -1;    // selected entry of the resolution list; -1 for none
    std::string resolutionText;  // text of the resolution field (used when nothing is selected)
    int aspectIndex = 0;         // row of the aspect list: 0 "Auto", k for aspect code k; -1 for none
    int samplingIndex = 0;       // -1 for none
    bool fullscreen = true;
    bool vsync = true;
    bool music = true;
};

// The record fields the dialog writes.
struct LaunchSettings {
    int width = 0, height = 0, bitsPerPixel = 0;
    AspectCode aspectMode = AspectCode::Other;
    int samples = 0;
    bool fullscreen = false, vsync = false, musicEnabled = false;
};

// Index of the listed mode the resolution controls name: the selection, or
// else the typed "WxH" text when it names a listed mode; -1 if neither.
int chosenModeIndex(const std::vector<DisplayMode>& modes, const LaunchControls& controls);

// Writes the controls' choices into `settings`. Returns false, leaving
// `settings` untouched, when no listed resolution is chosen. An aspect index
// outside 0..4 leaves aspectMode as it was; "Auto" takes `desktopAspect`.
bool applyLaunchControls(const std::vector<DisplayMode>& modes, AspectCode desktopAspect,
    const LaunchControls& controls, LaunchSettings& settings);

// Starts the toolkit with the process's numeric locale kept at "C".
// Returns false with a message in `error` when there is no display.
bool initDialogToolkit(std::string& error);

// Shows the dialog modally and, on Launch, writes the choices into `app`.
LaunchResult runLaunchDialog(DemoApplication& app, const LaunchPreset& preset);
