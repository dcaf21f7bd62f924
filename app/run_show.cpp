#include "app/run_show.h"

#include <algorithm>
#include <optional>
#include <vector>

#include "app/application.h"
#include "app/compositor_loss.h"
#include "app/configurator.h"
#include "app/frame_clock.h"
#include "app/frame_log.h"
#include "app/launch_dialog.h"
#include "app/report.h"
#include "app/stats.h"
#include "app/window.h"
#include "gfx/gl_api.h"
#include "scene/schedule.h"

namespace {

double millisecondsBetween(uint64_t from, uint64_t to)
{
    return static_cast<double>(to - from) * 1000.0 / static_cast<double>(SDL_GetPerformanceFrequency());
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

// Moves the live show to `target`: forward by fast-forwarding from the frame
// just drawn, back by rebuilding the state from its seed and fast-forwarding
// from 0 (the generator's draws then come out as they did). The music moves with it.
bool jumpTo(DemoApplication& app, ShowProgram& show, FrameClock& clock, uint32_t target, std::string& error)
{
    FixedStepClock steps(kFastForwardFps);
    steps.start();
    uint32_t base = app.showTimeMs;
    if (target < base) {
        if (!show.rebuild(app, error))
            return false;
        base = 0;
    } else {
        steps.frameDone();  // the frame at base is already made
    }
    const uint32_t last = fastForward(app, show, steps, base, target);
    clock.jumpTo(target);
    clock.previousTicks = last;
    return true;
}

// Takes the live show's keys pressed since the last frame; `jumped` tells
// whether the show time moved. False when a jump failed (`error` says why).
bool applyLiveKeys(DemoApplication& app, ShowProgram& show, FrameClock& clock, std::vector<KeyCode>& keys,
    bool& jumped, std::string& error)
{
    keys.swap(app.pressedKeys);
    app.pressedKeys.clear();
    for (const KeyCode key : keys) {
        if (key == kPauseKey) {
            if (clock.paused())
                clock.resume();
            else
                clock.pause();
        } else if (key == kJumpForwardKey || key == kJumpBackKey) {
            const uint32_t now = app.showTimeMs;
            const uint32_t target
                = key == kJumpForwardKey ? std::min(now + kJumpMs, kShowLengthMs) : (now > kJumpMs ? now - kJumpMs : 0);
            if (!jumpTo(app, show, clock, target, error))
                return false;
            jumped = true;
        }
    }
    keys.clear();
    return true;
}

}  // namespace

uint32_t fastForward(DemoApplication& app, ShowProgram& show, FrameClock& steps, uint32_t baseMs, uint32_t untilMs,
    FrameObserver* observer)
{
    uint32_t last = baseMs;
    while (static_cast<uint64_t>(baseMs) + steps.tickCount() < untilMs) {
        const FrameTime time = readFrameTime(steps);
        app.showTimeMs = baseMs + time.showTimeMs;
        app.frameStep = time.frameStep;
        show.advanceFrame(app);
        if (observer)
            observer->frameSkipped(app);
        steps.frameDone();
        last = app.showTimeMs;
    }
    return last;
}

std::optional<KeyCode> virtualKeyFor(SDL_Keycode key)
{
    if (key >= SDLK_a && key <= SDLK_z)
        return KeyCode {'A' + (key - SDLK_a)};
    if (key >= SDLK_0 && key <= SDLK_9)
        return KeyCode {'0' + (key - SDLK_0)};
    if (key >= SDLK_F1 && key <= SDLK_F12)
        return KeyCode {static_cast<int>(KeyCode::F1) + (key - SDLK_F1)};
    switch (key) {
    case SDLK_ESCAPE: return KeyCode::Escape;
    case SDLK_RETURN: return KeyCode::Return;
    case SDLK_SPACE: return KeyCode::Space;
    case SDLK_TAB: return KeyCode::Tab;
    case SDLK_BACKSPACE: return KeyCode::Backspace;
    case SDLK_LEFT: return KeyCode::Left;
    case SDLK_UP: return KeyCode::Up;
    case SDLK_RIGHT: return KeyCode::Right;
    case SDLK_DOWN: return KeyCode::Down;
    default: return std::nullopt;
    }
}

bool handleEvent(DemoApplication& app, const SDL_Event& event)
{
    switch (event.type) {
    case SDL_QUIT: return true;
    case SDL_KEYDOWN: {
        if (const std::optional<KeyCode> key = virtualKeyFor(event.key.keysym.sym)) {
            app.keyDown[static_cast<size_t>(*key)] = true;
            if (!event.key.repeat)
                app.pressedKeys.push_back(*key);
        }
        return false;
    }
    case SDL_WINDOWEVENT:
        if (event.window.event == SDL_WINDOWEVENT_CLOSE)
            return true;
        if (event.window.event == SDL_WINDOWEVENT_SIZE_CHANGED)
            keepWindowSize(app);
        return false;
    default: return false;
    }
}

int runShow(DemoApplication& app, ShowProgram& show, const RunSettings& settings)
{
    const Options& options = settings.options;
    FrameClock& clock = *settings.clock;
    uint64_t startCounter = settings.startTicks ? settings.startTicks : SDL_GetPerformanceCounter();
    installQuitSignals();

    app.configurator = show.makeConfigurator(app);
    static_cast<LaunchSettings&>(app) = resolveLaunchSettings(options, desktopMode());
    if (!options.noDialog && !options.fixedStep()) {
        app.displayModes = distinctModes(enumerateDisplayModes());
        const LaunchResult result = show.runDialog(app);
        if (result != LaunchResult::Launch) {
            app.configurator.reset();
            if (result == LaunchResult::Interrupted)
                return 128 + quitSignalNumber();
            return result == LaunchResult::Quit ? kExitQuit : kExitStartFailed;
        }
        // Time spent choosing in the dialog is not start-up time.
        startCounter = SDL_GetPerformanceCounter();
    }

    std::string error;
    bool built = false;
    // Whatever ran before the window (the process's own start, the options) counts as one step.
    app.startupSteps.emplace_back("before_window", millisecondsBetween(startCounter, SDL_GetPerformanceCounter()));
    StartupLaps laps(app);
    bool started = openWindow(app, error);
    laps.lap("window");
    if (started && !app.configurator->loadAssets()) {
        error = app.configurator->error();
        started = false;
    }
    if (started) {
        StartupLaps building(app);
        built = show.build(app, error);
        building.lap("show");
        started = built;
    }
    // The live show opening later fast-forwards before its clock starts, so
    // the catching up is not show time.
    uint32_t lastSkippedMs = 0;
    if (started && options.startMs) {
        FixedStepClock steps(kFastForwardFps);
        steps.start();
        lastSkippedMs = fastForward(app, show, steps, 0, *options.startMs);
    }
    if (started) {
        started = clock.start();
        if (!started)
            error = "cannot start the frame clock";
    }
    if (started) {
        if (options.startMs && app.audio)
            app.audio->seek(app.music.channel(), *options.startMs);
        show.startMusic(app);
        if (options.startMs) {
            clock.jumpTo(*options.startMs);
            clock.previousTicks = lastSkippedMs;
        }
        if (settings.observer)
            started = settings.observer->begin(app, error);
    }
    // A capture from a later time skips the frames before it at its own frame times.
    if (started && options.fixedStep() && options.fromMs > 0)
        fastForward(app, show, clock, 0, options.fromMs, settings.observer);
    if (!started) {
        report(error.empty() ? "start-up failed" : error);
        shutDown(app, show, built, clock);
        return kExitStartFailed;
    }

    bool quitRequested = false;
    bool firstFrame = true;
    bool failed = false;
    std::vector<KeyCode> keys;
    SlowRendererNotice slowNotice;
    const char* rendererName = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
    const std::string renderer = rendererName ? rendererName : "the GL renderer";
    for (;;) {
        const uint64_t frameStart = SDL_GetPerformanceCounter();
        if (firstFrame && settings.stats) {
            settings.stats->setStartupMs(millisecondsBetween(startCounter, frameStart));
            settings.stats->setStartupSteps(app.startupSteps);
        }
        firstFrame = false;

        pumpEvents(app, quitRequested);
        if (app.audio)
            app.audio->serviceOutput();
        bool jumped = false;
        if (!options.fixedStep() && !applyLiveKeys(app, show, clock, keys, jumped, error)) {
            report(error);
            failed = true;
            break;
        }
        if (clock.paused() && !jumped) {
            // The picture holds: nothing is drawn or presented until the show
            // resumes, or a jump asks for the picture of its new time.
            if (quitRequested || app.isKeyDown(KeyCode::Escape))
                break;
            SDL_Delay(5);
            continue;
        }
        const FrameTime time = readFrameTime(clock);
        app.showTimeMs = time.showTimeMs;
        app.frameStep = time.frameStep;
        if (settings.observer && !settings.observer->beforeFrame(app))
            break;

        show.renderFrame(app);
        if (settings.observer)
            settings.observer->frameRendered(app);

        const bool ended = app.showTimeMs >= kShowLengthMs || app.isKeyDown(KeyCode::Escape);
        if (!ended) {
            SDL_GL_SwapWindow(app.window);
            if (settings.frameLog
                && !settings.frameLog->add(app.showTimeMs, monotonicNs(), show.frameFlashed(), error)) {
                report(error);
                failed = true;
                break;
            }
        }
        clock.frameDone();
        const double frameMs = millisecondsBetween(frameStart, SDL_GetPerformanceCounter());
        if (settings.stats)
            settings.stats->addFrame(app.showTimeMs, frameMs);
        // A slideshow should say why once, rather than leave the viewer guessing.
        if (!options.fixedStep()) {
            if (const std::string notice = slowNotice.addFrame(frameMs, renderer, app.width, app.height);
                !notice.empty())
                report(notice);
        }
        if (ended || quitRequested)
            break;
    }
    if (quitRequested && compositorLost(app.window, error)) {
        report(error);
        failed = true;
    }

    if (settings.stats) {
        if (const std::optional<AudioSync> sync = clock.audioSync())
            settings.stats->setAudioSync(sync->maxDriftMs, sync->relockMs);
    }
    bool finished = !failed;
    if (settings.observer && !settings.observer->finish(app, error)) {
        report(error);
        finished = false;
    }
    shutDown(app, show, built, clock);
    if (!finished)
        return kExitStartFailed;
    // A script must tell a capture cut short from a whole one; the live show ends as asked.
    return !options.captureOut.empty() && quitSignalled() ? 128 + quitSignalNumber() : 0;
}
