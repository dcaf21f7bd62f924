// Display-mode list and desktop aspect detection over SDL's video subsystem.
#include "desktop/display_modes.h"

#include <SDL.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

bool displayNamed()
{
    return std::getenv("DISPLAY") || std::getenv("WAYLAND_DISPLAY") || SDL_GetHint(SDL_HINT_VIDEODRIVER);
}

bool videoDriverShowsPictures()
{
    if (SDL_GetHint(SDL_HINT_VIDEODRIVER))
        return true;
    const char* driver = SDL_GetCurrentVideoDriver();
    return driver && std::strcmp(driver, "offscreen") != 0 && std::strcmp(driver, "dummy") != 0;
}

void preferNamedVideoDriver()
{
    if (std::getenv("SDL_VIDEODRIVER"))
        return;
    if (std::getenv("WAYLAND_DISPLAY"))
        SDL_SetHint(SDL_HINT_VIDEODRIVER, "wayland,x11");
    else if (std::getenv("DISPLAY"))
        SDL_SetHint(SDL_HINT_VIDEODRIVER, "x11");
}

namespace {

// SDL lists the 24-bit colour modes as 4 bytes per pixel; the storage size is
// what the list filters on.
DisplayMode fromSdl(const SDL_DisplayMode& mode)
{
    return DisplayMode {mode.w, mode.h, static_cast<int>(SDL_BYTESPERPIXEL(mode.format)) * 8, mode.refresh_rate};
}

}  // namespace

std::vector<DisplayMode> distinctModes(const std::vector<DisplayMode>& enumerated)
{
    std::vector<DisplayMode> kept;
    for (const DisplayMode& mode : enumerated) {
        if (mode.bitsPerPixel != 32)
            continue;
        if (findMode(kept, mode.width, mode.height) >= 0)
            continue;
        kept.push_back(mode);
    }
    return kept;
}

std::vector<DisplayMode> enumerateDisplayModes()
{
    std::vector<DisplayMode> modes;
    VideoSession video;
    if (!video.started())
        return modes;
    const int count = SDL_GetNumDisplayModes(0);
    for (int i = 0; i < count; ++i) {
        SDL_DisplayMode mode;
        if (SDL_GetDisplayMode(0, i, &mode) != 0)
            break;
        modes.push_back(fromSdl(mode));
    }
    return modes;
}

VideoSession::VideoSession()
{
    if (!displayNamed())
        return;
    started_ = SDL_InitSubSystem(SDL_INIT_VIDEO) == 0;
    if (started_ && !videoDriverShowsPictures()) {
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        started_ = false;
    }
}

VideoSession::~VideoSession()
{
    if (started_)
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

DisplayMode desktopMode()
{
    VideoSession video;
    SDL_DisplayMode mode;
    if (!video.started() || SDL_GetDesktopDisplayMode(0, &mode) != 0)
        return DisplayMode {};
    return fromSdl(mode);
}

AspectCode detectAspect(uint32_t width, uint32_t height)
{
    if (height == 0)
        return AspectCode::Other;
    const float ratio
        = static_cast<float>(static_cast<double>(width)) / static_cast<float>(static_cast<double>(height));
    // In single precision this is a test for exact equality with each constant.
    const auto matches = [ratio](float constant) {
        const float difference = ratio - constant;
        return static_cast<float>(std::fabs(static_cast<double>(difference))) < 1e-9f;
    };
    if (matches(4.0f / 3.0f))
        return AspectCode::Ratio4x3;
    if (matches(1.25f))
        return AspectCode::Ratio5x4;
    if (matches(1.6f))
        return AspectCode::Ratio16x10;
    if (matches(16.0f / 9.0f))
        return AspectCode::Ratio16x9;
    return AspectCode::Other;
}

std::string modeLabel(const DisplayMode& mode)
{
    char text[255];
    std::snprintf(text, sizeof text, "%dx%d", mode.width, mode.height);
    return text;
}

int findMode(const std::vector<DisplayMode>& modes, int width, int height)
{
    for (size_t i = 0; i < modes.size(); ++i) {
        if (modes[i].width == width && modes[i].height == height)
            return static_cast<int>(i);
    }
    return -1;
}
