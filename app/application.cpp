// The application record's teardown, in the order GL and the audio back end
// need, and the start-up's step timings.
#include "app/application.h"

#include "app/configurator.h"

DemoApplication::DemoApplication() = default;

DemoApplication::~DemoApplication()
{
    configurator.reset();
    if (audio) {
        audio->stop();
        audio->release();
    }
}

void DemoApplication::releaseGraphics()
{
    programs.destroyPrograms();
    textures.destroyTextures();
}

StartupLaps::StartupLaps(DemoApplication& app)
    : app_(app)
    , last_(SDL_GetPerformanceCounter())
{
}

void StartupLaps::lap(const char* step)
{
    const uint64_t now = SDL_GetPerformanceCounter();
    const double ms = static_cast<double>(now - last_) * 1000.0 / static_cast<double>(SDL_GetPerformanceFrequency());
    app_.startupSteps.emplace_back(step, ms);
    last_ = now;
}
