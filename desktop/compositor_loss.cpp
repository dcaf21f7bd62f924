// Tells a broken Wayland connection from a closed window after SDL's quit.
#include "desktop/compositor_loss.h"

#include <SDL.h>
#include <SDL_syswm.h>
#include <wayland-client-core.h>

#include <cstring>

bool compositorLost(SDL_Window* window, std::string& error)
{
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!window || !SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_WAYLAND)
        return false;
    const int lost = wl_display_get_error(info.info.wl.display);
    if (lost == 0)
        return false;
    error = std::string("the Wayland compositor went away (") + std::strerror(lost)
        + "); the show stopped, start it again in a running desktop session";
    return true;
}
