// Tells a broken Wayland connection from a closed window after SDL's quit.
#include "desktop/compositor_loss.h"

#include <SDL.h>
#include <SDL_syswm.h>
#include <poll.h>
#include <wayland-client-core.h>

#include <cerrno>
#include <cstring>

bool compositorLost(SDL_Window* window, std::string& error)
{
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!window || !SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_WAYLAND)
        return false;
    int lost = wl_display_get_error(info.info.wl.display);
    // The compositor's end may have closed before any call of the library noticed.
    pollfd hangup {wl_display_get_fd(info.info.wl.display), 0, 0};
    if (lost == 0 && poll(&hangup, 1, 0) == 1 && (hangup.revents & (POLLHUP | POLLERR)))
        lost = EPIPE;
    if (lost == 0)
        return false;
    error = std::string("the Wayland compositor went away (") + std::strerror(lost)
        + "); the show stopped, start it again in a running desktop session";
    return true;
}
