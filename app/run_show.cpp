// The entry sequence and the frame loop: settings, window, assets, frames,
// and the teardown in order.
#include "app/run_show.h"

#include <algorithm>
#include <future>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "app/application.h"
#include "app/configurator.h"
#include "app/frame_clock.h"
#include "app/launch_dialog.h"
#include "capture/frame_log.h"
#include "capture/stats.h"
#include "desktop/compositor_loss.h"
#include "desktop/presentation_feedback.h"
#include "desktop/report.h"
#include "desktop/window.h"
#include "gfx/gl_api.h"
#include "scene/schedule.h"

namespace {

double millisecondsBetween(uint64_t from, uint64_t to)
{
    return static_cast<double>(to - from) * 1000.0 / static_cast<double>(SDL_GetPerformanceFrequency());
}

void pumpEvents(DemoApplication& app, bool& quitRequested)
{
    // A lost compositor ends the show as its quit would, without the pump
    // (see compositor_loss.h); the loop's end says why.
    std::string lost;
    if (compositorLost(app.window, lost)) {
        quitRequested = true;
        return;
    }
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

void takeFrame(DemoApplication& app, const FrameTime& time)
{
    app.showTimeMs = time.showTimeMs;
    app.frameStep = time.frameStep;
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
    FastForward ahead(kFastForwardFps);
    uint32_t base = app.showTimeMs;
    if (target < base) {
        if (!show.rebuild(app, error))
            return false;
        base = 0;
    } else {
        ahead.steps.frameDone();  // the frame at base is already made
    }
    fastForward(show, ahead, app.audio.get(), app.music.channel(), base, target);
    if (ahead.last)
        takeFrame(app, *ahead.last);
    clock.jumpTo(target);
    clock.previousTicks = ahead.last ? ahead.last->showTimeMs : base;
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

void fastForward(ShowProgram& show, FastForward& ahead, AudioBackend* audio, AudioHandle channel, uint32_t baseMs,
    uint32_t untilMs)
{
    // Frames the music no longer reaches at untilMs skip the decoding and the
    // spectrum, so a late start costs little more than an early one.
    const auto fps = static_cast<uint32_t>(ahead.steps.framesPerSecond());
    const uint32_t reach = show.beatReachMs((1000 + fps - 1) / fps);
    const uint32_t heardFromMs = untilMs > reach ? untilMs - reach : 0;
    while (static_cast<uint64_t>(baseMs) + ahead.steps.tickCount() < untilMs) {
        FrameTime time = readFrameTime(ahead.steps);
        time.showTimeMs += baseMs;
        const float* spectrum = nullptr;
        if (audio && time.showTimeMs >= heardFromMs) {
            audio->spectrumAt(channel, time.showTimeMs, ahead.spectrum.data());
            spectrum = ahead.spectrum.data();
        }
        show.advanceFrame(time, spectrum);
        ahead.steps.frameDone();
        ahead.last = time;
    }
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
            return !keepWindowSize(app);
        return false;
    default: return false;
    }
}

namespace {

// Runs `work` on a thread of its own, or when its result is asked for if no
// thread can be started.
template <typename Work>
auto beside(Work work)
{
    try {
        return std::async(std::launch::async, work);
    } catch (const std::system_error&) {
        return std::async(std::launch::deferred, work);
    }
}

// The show made and moved, without GL, to where it opens: the live show's
// --start at the fast-forward's rate, a capture's --from at its own. The
// start-up worker makes it from what the main thread hands it, the music's
// back end and channel included, and hands it back whole through its future.
struct ShowAhead {
    explicit ShowAhead(const Options& options)
        : moved(options.fixedStep() ? options.framesPerSecond() : kFastForwardFps)
    {
    }
    bool made = false;
    std::string error;
    FastForward moved;
};

ShowAhead makeShowAhead(
    ShowProgram& show, MusicPlayer& music, AudioBackend* audio, AudioHandle channel, const Options& options)
{
    ShowAhead ahead(options);
    ahead.made = show.prepare(music, ahead.error);
    if (ahead.made) {
        const uint32_t untilMs = options.fixedStep() ? options.fromMs : options.startMs.value_or(0);
        fastForward(show, ahead.moved, audio, channel, 0, untilMs);
    }
    return ahead;
}

// The launch settings from the dialog, or from the command line alone. An
// exit status when the dialog ended without Launch.
std::optional<int> chooseSettings(
    DemoApplication& app, ShowProgram& show, const Options& options, uint64_t& startCounter)
{
    app.configurator = show.makeConfigurator(app);
    static_cast<LaunchSettings&>(app) = resolveLaunchSettings(options, desktopMode());
    if (options.noDialog || options.fixedStep())
        return std::nullopt;
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
    return std::nullopt;
}

// What the start-up leaves for the first frame that needs the assets.
struct PendingAssets {
    std::future<void> files;  // the asset files, read beside the window
    bool made = false;        // the configurator has loaded them
    bool loaded = false;      // and the show is built on them
};

// Has the configurator load the assets, once the files are read.
bool makeAssets(DemoApplication& app, PendingAssets& assets, std::string& error)
{
    assets.files.wait();
    assets.made = app.configurator->loadAssets();
    if (!assets.made)
        error = app.configurator->error();
    return assets.made;
}

// Opens the window, makes the show and starts the clock, the music and the
// observer. What needs no GL (the asset files, the show's state and its
// fast-forward) is done beside the window and the context, whose making
// leaves a core idle; failures still come out in the order of the steps: the
// window, the music, then the assets.
bool startShow(DemoApplication& app, ShowProgram& show, const RunSettings& settings, PendingAssets& assets,
    std::string& error)
{
    const Options& options = settings.options;
    FrameClock& clock = *settings.clock;
    const bool musicOpen = app.configurator->openMusic();
    const std::string musicError = app.configurator->error();
    DemoConfigurator* configurator = app.configurator.get();
    assets.files = beside([configurator] { configurator->readFiles(); });
    // The show's worker is handed what it uses and hands back what it moved,
    // so only this thread touches the record while the window is made.
    MusicPlayer& music = app.music;
    AudioBackend* audio = app.audio.get();
    const AudioHandle channel = music.channel();
    std::future<ShowAhead> showAhead = beside([&show, &music, audio, channel, &options, musicOpen] {
        return musicOpen ? makeShowAhead(show, music, audio, channel, options) : ShowAhead(options);
    });

    StartupLaps laps(app);
    bool started = openWindow(app, error);
    laps.lap("window");
    // The music opened first, but its warnings come after the window's step,
    // and not at all when the window or the music fails.
    if (started && !musicOpen) {
        error = musicError;
        started = false;
    }
    if (started && settings.heldReports)
        settings.heldReports->release();
    // A show opening later draws its first frame at once: the assets load
    // while the fast-forward runs. A capture or a bench loads them before its
    // first frame too, so a failure comes before anything is written.
    if (started && (options.startMs || options.fixedStep()))
        started = makeAssets(app, assets, error);
    const ShowAhead ahead = showAhead.get();
    if (!started)
        return false;
    if (!ahead.made) {
        error = ahead.error;
        return false;
    }
    if (ahead.moved.last)
        takeFrame(app, *ahead.moved.last);
    const uint32_t lastSkippedMs = ahead.moved.last ? ahead.moved.last->showTimeMs : 0;

    if (!clock.start()) {
        error = "cannot start the frame clock";
        return false;
    }
    if (options.startMs && app.audio)
        app.audio->seek(app.music.channel(), *options.startMs);
    show.startMusic(app);
    // The live show opening later fast-forwarded before its clock started, so
    // the catching up is not show time.
    if (options.startMs) {
        clock.jumpTo(*options.startMs);
        clock.previousTicks = lastSkippedMs;
    }
    if (settings.observer && !settings.observer->begin(app, error))
        return false;
    // A capture from a later time has skipped the frames before it at its own frame times.
    if (options.fixedStep() && ahead.moved.last) {
        for (uint64_t frame = 0; frame < ahead.moved.steps.frameIndex(); ++frame) {
            if (settings.observer)
                settings.observer->frameSkipped(app);
            clock.frameDone();
        }
        clock.previousTicks = lastSkippedMs;
    }
    return true;
}

// Loads the assets, unless the start-up did, and builds the show on them.
bool loadShow(DemoApplication& app, ShowProgram& show, PendingAssets& assets, std::string& error)
{
    if (!assets.made && !makeAssets(app, assets, error))
        return false;
    StartupLaps building(app);
    if (!show.build(app, error))
        return false;
    building.lap("show");
    assets.loaded = true;
    return true;
}

// The live show's presented frames and what the compositor says became of
// them: each outcome goes to the frame log, the clock and the statistics.
class SeenFrames {
public:
    SeenFrames(DemoApplication& app, const RunSettings& settings)
        : feedback_(settings.options.fixedStep() ? nullptr : PresentationFeedback::forWindow(app.window))
        , vsync_(app.vsync)
        , settings_(settings)
    {
        if (feedback_ && settings_.frameLog)
            settings_.frameLog->awaitSeen(true);
    }

    // Presents the frame drawn for `showMs`. False when the frame log cannot be written.
    bool present(DemoApplication& app, uint32_t showMs, bool beat, std::string& error)
    {
        if (feedback_)
            feedback_->beforeSwap(presented_++);
        SDL_GL_SwapWindow(app.window);
        const int64_t swapNs = monotonicNs();
        if (feedback_)
            feedback_->afterSwap(swapNs);
        settings_.clock->frameDone();
        return !settings_.frameLog || settings_.frameLog->add(showMs, swapNs, beat, error);
    }

    // Hands on what the compositor has told since the last call.
    bool collect(std::string& error)
    {
        if (!feedback_)
            return true;
        outcomes_.clear();
        feedback_->collect(outcomes_);
        for (const PresentedFrame& frame : outcomes_) {
            if (settings_.frameLog && !settings_.frameLog->seen(frame.frame, frame.seenNs, error))
                return false;
            if (frame.seenNs == 0) {
                if (settings_.stats)
                    settings_.stats->addUnseen();
                continue;
            }
            settings_.clock->frameSeen(static_cast<double>(frame.swapNs) / 1e6, static_cast<double>(frame.seenNs) / 1e6,
                vsync_ ? static_cast<double>(frame.refreshNs) / 1e6 : 0.0);
            if (settings_.stats)
                settings_.stats->addSeen(static_cast<double>(frame.seenNs - frame.swapNs) / 1e6);
        }
        return true;
    }

    // At the end: what has arrived is logged, the rest with seen_ns 0.
    bool finish(std::string& error)
    {
        return collect(error) && (!settings_.frameLog || settings_.frameLog->flush(error));
    }

private:
    std::unique_ptr<PresentationFeedback> feedback_;
    bool vsync_;
    const RunSettings& settings_;
    uint64_t presented_ = 0;
    std::vector<PresentedFrame> outcomes_;
};

// Draws and presents frames until the show ends, Escape is pressed or a quit
// arrives. False when a frame failed (the reason was reported).
bool playFrames(
    DemoApplication& app, ShowProgram& show, const RunSettings& settings, PendingAssets& assets, uint64_t startCounter)
{
    const Options& options = settings.options;
    FrameClock& clock = *settings.clock;
    std::string error;
    bool quitRequested = false;
    bool firstFrame = true;
    bool failed = false;
    std::vector<KeyCode> keys;
    SlowRendererNotice slowNotice;
    const char* rendererName = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
    const std::string renderer = rendererName ? rendererName : "the GL renderer";
    SeenFrames seen(app, settings);
    for (;;) {
        uint64_t frameStart = SDL_GetPerformanceCounter();
        if (firstFrame && settings.stats)
            settings.stats->setStartupMs(millisecondsBetween(startCounter, frameStart));
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
        takeFrame(app, readFrameTime(clock));
        if (settings.observer && !settings.observer->beforeFrame(app))
            break;
        if (!assets.loaded && show.frameNeedsAssets(app)) {
            if (!loadShow(app, show, assets, error)) {
                report(error.empty() ? "start-up failed" : error);
                failed = true;
                break;
            }
            // The loading is start-up, not the frame's own time.
            frameStart = SDL_GetPerformanceCounter();
        }

        show.renderFrame(app);
        if (settings.observer)
            settings.observer->frameRendered(app);

        const bool ended = app.showTimeMs >= kShowLengthMs || app.isKeyDown(KeyCode::Escape);
        if (ended)
            clock.frameDone();
        else if (!seen.present(app, app.showTimeMs, show.frameFlashed(), error) || !seen.collect(error)) {
            report(error);
            failed = true;
            break;
        }
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
    if (!failed && !seen.finish(error)) {
        report(error);
        failed = true;
    }
    if (quitRequested && (compositorLost(app.window, error) || !fullScreenKeptItsSize(app, error))) {
        report(error);
        failed = true;
    }
    return !failed;
}

}  // namespace

int runShow(DemoApplication& app, ShowProgram& show, const RunSettings& settings)
{
    uint64_t startCounter = settings.startTicks ? settings.startTicks : SDL_GetPerformanceCounter();
    installQuitSignals();
    // Without the dialog, the desktop's size and the window share one
    // connection to the display: opening a second costs as much again.
    std::optional<VideoSession> display;
    if (settings.options.noDialog || settings.options.fixedStep())
        display.emplace();
    if (const std::optional<int> status = chooseSettings(app, show, settings.options, startCounter))
        return *status;
    // Whatever ran before the window (the process's own start, the options) counts as one step.
    app.startupSteps.emplace_back("before_window", millisecondsBetween(startCounter, SDL_GetPerformanceCounter()));
    FrameClock& clock = *settings.clock;
    std::string error;
    PendingAssets assets;
    if (!startShow(app, show, settings, assets, error)) {
        assets.files.wait();
        report(error.empty() ? "start-up failed" : error);
        shutDown(app, show, false, clock);
        return kExitStartFailed;
    }

    bool finished = playFrames(app, show, settings, assets, startCounter);

    // The thread reading the files writes into the configurator, which shutDown deletes.
    assets.files.wait();
    if (settings.stats) {
        settings.stats->setStartupSteps(app.startupSteps);
        if (const std::optional<AudioSync> sync = clock.audioSync())
            settings.stats->setAudioSync(*sync);
    }
    if (settings.observer && !settings.observer->finish(app, error)) {
        report(error);
        finished = false;
    }
    shutDown(app, show, assets.loaded, clock);
    if (!finished)
        return kExitStartFailed;
    // A script must tell a capture cut short from a whole one; the live show ends as asked.
    return !settings.options.captureOut.empty() && quitSignalled() ? 128 + quitSignalNumber() : 0;
}
