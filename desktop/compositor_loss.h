// compositor_loss.h: tells a compositor that went away from a closed window.
//
// When the Wayland compositor dies, SDL sends only a quit, the same event as
// a closed window; the broken connection is what tells the two apart.
//
//   std::string error;
//   if (compositorLost(app.window, error)) { report(error); return 1; }
#pragma once

#include <string>

struct SDL_Window;

// True, with one line saying so in `error`, when `window` is a Wayland
// window whose connection to the compositor has broken.
bool compositorLost(SDL_Window* window, std::string& error);
