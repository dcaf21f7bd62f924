#include "app/run_show.h"

#include <csignal>
#include <cstdio>

#include "app/application.h"
#include "app/configurator.h"
#include "app/frame_clock.h"
#include "app/launch_dialog.h"
#include "app/stats.h"
#include "app/window.h"

namespace {

volatile std::sig_atomic_t quitSignal = 0;

void onQuitSignal(int)
{
    quitSignal = 1;
}

double millisecondsBetween(uint64_t from, uint64_t to)
{
    return static_cast<double>(to - from) * 1000.0 / static_cast<double>(SDL_GetPerformanceFrequency());
}

void reportFailure(const std::string& what)
{
    std::fprintf(stderr, "brindle: %s\n", what.c_str());
}

LaunchPreset presetFrom(const Options& options)
{
    LaunchPreset preset;
    preset.width = options.width;
    preset.height = options.height;
    preset.aspectIndex = options.aspectIndex;
    preset.fullscreen = options.fullscreen;
    preset.vsync = options.vsync;
    if (options.noMusic)
        preset.music = false;
    return preset;
}

// The settings the dialog would launch with, changed by the command line.
void applyOptions(DemoApplication& app, const Options& options)
{
    const DisplayMode desktop = desktopMode();
    app.desktopAspect = detectAspect(static_cast<uint32_t>(desktop.width), static_cast<uint32_t>(desktop.height));
    app.width = options.width.value_or(desktop.width > 0 ? desktop.width : 1280);
    app.height = options.height.value_or(desktop.height > 0 ? desktop.height : 800);
    app.bitsPerPixel = 32;
    const int aspect = options.aspectIndex.value_or(0);
    app.aspectMode = aspect == 0 ? app.desktopAspect : aspect;
    app.fullscreen = options.fullscreen.value_or(!options.fixedStep());
    // Fixed-step frames never wait for the display.
    app.vsync = !options.fixedStep() && options.vsync.value_or(true);
    app.musicEnabled = !options.noMusic;
    app.needsDisplay = !options.fixedStep();
}

void pumpEvents(DemoApplication& app, bool& quitRequested)
{
    SDL_Event event;
    while (SDL_PollEvent(&event)) {
        if (handleEvent(app, event)) {
            quitRequested = true;
            break;
        }
    }
    if (quitSignalled())
        quitRequested = true;
}

// Ends the show in the reverse order of its start; safe at every stage.
void shutDown(DemoApplication& app, ShowProgram& show, bool built, FrameClock& clock)
{
    clock.stop();
    app.configurator.reset();
    if (app.musicPlaying && app.audio)
        app.audio->stop();
    app.musicPlaying = false;
    if (app.glContext) {
        if (built)
            show.destroy(app);
        app.releaseGraphics();
    }
    closeWindow(app);
}

} // namespace

int virtualKeyFor(SDL_Keycode key)
{
    if (key >= SDLK_a && key <= SDLK_z)
        return 'A' + (key - SDLK_a);
    if (key >= SDLK_0 && key <= SDLK_9)
        return '0' + (key - SDLK_0);
    if (key >= SDLK_F1 && key <= SDLK_F12)
        return 112 + (key - SDLK_F1);
    switch (key) {
    case SDLK_ESCAPE: return kEscapeKey;
    case SDLK_RETURN: return 13;
    case SDLK_SPACE: return 32;
    case SDLK_TAB: return 9;
    case SDLK_BACKSPACE: return 8;
    case SDLK_LEFT: return 37;
    case SDLK_UP: return 38;
    case SDLK_RIGHT: return 39;
    case SDLK_DOWN: return 40;
    default: return -1;
    }
}

bool handleEvent(DemoApplication& app, const SDL_Event& event)
{
    switch (event.type) {
    case SDL_QUIT:
        return true;
    case SDL_KEYDOWN: {
        const int code = virtualKeyFor(event.key.keysym.sym);
        if (code >= 0 && code < static_cast<int>(app.keyDown.size()))
            app.keyDown[static_cast<size_t>(code)] = true;
        return false;
    }
    case SDL_WINDOWEVENT:
        if (event.window.event == SDL_WINDOWEVENT_CLOSE)
            return true;
        if (event.window.event == SDL_WINDOWEVENT_SIZE_CHANGED)
            keepWindowSize(app);
        return false;
    default:
        return false;
    }
}

void installQuitSignals()
{
    // SDL would otherwise install handlers of its own that turn these into SDL_QUIT.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    struct sigaction action {};
    action.sa_handler = onQuitSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

bool quitSignalled()
{
    return quitSignal != 0;
}

void clearQuitSignal()
{
    quitSignal = 0;
}

int runShow(DemoApplication& app, ShowProgram& show, const RunSettings& settings)
{
    const Options& options = settings.options;
    FrameClock& clock = *settings.clock;
    uint64_t startCounter = settings.startTicks ? settings.startTicks : SDL_GetPerformanceCounter();
    installQuitSignals();

    app.configurator = show.makeConfigurator(app);
    applyOptions(app, options);
    if (!options.noDialog && !options.fixedStep()) {
        app.displayModes = distinctModes(enumerateDisplayModes());
        const int result = show.runDialog(app, presetFrom(options));
        if (result != kLaunchDialogLaunch) {
            app.configurator.reset();
            return result == kLaunchDialogQuit ? kExitQuit : kExitStartFailed;
        }
        // Time spent choosing in the dialog is not start-up time.
        startCounter = SDL_GetPerformanceCounter();
    }

    std::string error;
    bool built = false;
    bool started = openWindow(app, error);
    if (started && !app.configurator->loadAssets()) {
        error = app.configurator->error();
        started = false;
    }
    if (started) {
        built = show.build(app, error);
        started = built;
    }
    if (started) {
        started = clock.start();
        if (!started)
            error = "cannot start the frame clock";
    }
    if (started) {
        show.startMusic(app);
        if (settings.observer)
            started = settings.observer->begin(app, error);
    }
    if (!started) {
        reportFailure(error.empty() ? "start-up failed" : error);
        shutDown(app, show, built, clock);
        return kExitStartFailed;
    }

    bool quitRequested = false;
    bool firstFrame = true;
    for (;;) {
        const uint64_t frameStart = SDL_GetPerformanceCounter();
        if (firstFrame && settings.stats)
            settings.stats->setStartupMs(millisecondsBetween(startCounter, frameStart));
        firstFrame = false;

        const FrameTime time = readFrameTime(clock);
        app.showTimeMs = time.showTimeMs;
        app.frameStep = time.frameStep;
        if (settings.stats && !options.fixedStep() && app.musicPlaying && app.audio)
            settings.stats->noteAudioDrift(static_cast<double>(app.showTimeMs) - app.audio->positionMs(app.music.channel()));
        pumpEvents(app, quitRequested);
        if (settings.observer && !settings.observer->beforeFrame(app))
            break;

        show.renderFrame(app);
        if (settings.observer)
            settings.observer->frameRendered(app);

        const bool ended = app.showTimeMs >= kShowLengthMs || app.keyDown[kEscapeKey];
        if (!ended)
            SDL_GL_SwapWindow(app.window);
        clock.frameDone();
        if (settings.stats)
            settings.stats->addFrame(app.showTimeMs, millisecondsBetween(frameStart, SDL_GetPerformanceCounter()));
        if (ended || quitRequested)
            break;
    }

    bool finished = true;
    if (settings.observer && !settings.observer->finish(app, error)) {
        reportFailure(error);
        finished = false;
    }
    shutDown(app, show, built, clock);
    return finished ? 0 : kExitStartFailed;
}
