// The launch dialog: a small modal GTK window that asks for the resolution,
// aspect ratio, multisampling and the Fullscreen / VSync / Music switches
// before the show window exists. Its controls start from the launch settings
// (resolved from the command line) and Launch writes the choices back into
// them.
//
//   LaunchSettings& settings = app;
//   if (runLaunchDialog(settings, app.displayModes, app.maxSamples) != LaunchResult::Launch)
//       return -1;   // Quit, Escape, close box, a signal, or no display
//
// The mapping from the controls' states to the settings is the plain function
// `applyLaunchControls`, usable without GTK. The window itself lives in the
// module brindle-dialog.so (app/dialog_module.h), loaded on the first call of
// initDialogToolkit or runLaunchDialog; a module that cannot be loaded fails
// them as a missing display does, with one line naming the loader's reason.
#pragma once

#include "desktop/display_modes.h"
#include "desktop/launch_settings.h"

#include <string>
#include <vector>

enum class LaunchResult : int {
    Launch = 1004,
    Quit = -1,    // Quit, Escape or the close box
    Failed = -2,  // no display; one line was printed on stderr
    Interrupted = -3,  // a quit signal arrived (quitSignalNumber() names it)
};

// The state of the dialog's controls at the moment Launch is pressed.
struct LaunchControls {
    int resolutionIndex = -1;    // selected entry of the resolution list; -1 for none
    std::string resolutionText;  // text of the resolution field (used when nothing is selected)
    int aspectIndex = 0;         // row of the aspect list, as kAspectNames orders it; -1 for none
    int samplingIndex = 0;       // -1 for none
    bool fullscreen = true;
    bool vsync = true;
    bool music = true;
};

// Index of the listed mode the resolution controls name: the selection, or
// else the typed "WxH" text when it names a listed mode; -1 if neither.
int chosenModeIndex(const std::vector<DisplayMode>& modes, const LaunchControls& controls);

// Writes the controls' choices into `settings`. Returns false, leaving
// `settings` untouched, when no listed resolution is chosen. An aspect index
// outside the list leaves the aspect as it was.
bool applyLaunchControls(
    const std::vector<DisplayMode>& modes, const LaunchControls& controls, LaunchSettings& settings);

// Starts the toolkit with the process's numeric locale kept at "C".
// Returns false with a message in `error` when there is no display or the
// dialog's module cannot be loaded.
bool initDialogToolkit(std::string& error);

// Shows the dialog modally with the listed modes and multisampling up to
// `maxSamples`, its controls set from `settings`, and on Launch writes the
// choices into `settings`.
LaunchResult runLaunchDialog(LaunchSettings& settings, const std::vector<DisplayMode>& modes, int maxSamples);
