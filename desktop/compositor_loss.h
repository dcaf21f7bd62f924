// compositor_loss.h: tells a compositor that went away from a closed window.
//
// When the Wayland compositor dies, SDL sends only a quit, the same event as
// a closed window; the broken connection is what tells the two apart. And a
// broken connection must not reach SDL's event pump again: the decorations'
// library (libdecor's cairo plugin) then spins on it for ever (seen with
// weston killed in the show's first second, 6 runs in 15), so the frame loop
// asks before every pump.
//
//   std::string error;
//   if (compositorLost(app.window, error)) { report(error); return 1; }
#pragma once

#include <string>

struct SDL_Window;

// True, with one line saying so in `error`, when `window` is a Wayland
// window whose connection to the compositor has broken or been hung up.
bool compositorLost(SDL_Window* window, std::string& error);
