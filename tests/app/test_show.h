// A show that clears the window to white and lays the colour fades over it, a
// clock that reads a script of show times, and a small windowed run of the
// real frame loop around them.
#pragma once

#include <functional>
#include <vector>

#include "app/configurator.h"
#include "app/frame_clock.h"
#include "app/run_show.h"
#include "gfx/gl_api.h"
#include "show/colour_fades.h"

class TestConfigurator : public DemoConfigurator {
public:
    TestConfigurator(DemoApplication& app, bool succeed) : DemoConfigurator(app), succeed_(succeed) {}
    bool loadAssets() override
    {
        if (!succeed_)
            error_ = "test assets refused to load";
        return succeed_;
    }

private:
    bool succeed_;
};

class ClearShow : public ShowProgram {
public:
    std::unique_ptr<DemoConfigurator> makeConfigurator(DemoApplication& app) override
    {
        return std::make_unique<TestConfigurator>(app, assetsLoad);
    }
    LaunchResult runDialog(DemoApplication& app, const LaunchPreset&) override
    {
        ++dialogs;
        app.width = 64;
        app.height = 40;
        app.fullscreen = false;
        return dialogResult;
    }
    bool build(DemoApplication&, std::string& error) override
    {
        ++buildCalls;
        if (!builds)
            error = "test show refused to build";
        return builds;
    }
    void startMusic(DemoApplication&) override { ++musicStarts; }
    void renderFrame(DemoApplication& app) override
    {
        ++frames;
        glClearColor(1, 1, 1, 1);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        drawFades(fades, app.showTimeMs);
    }
    void advanceFrame(DemoApplication& app) override { advanceFades(fades, app.showTimeMs); }
    bool rebuild(DemoApplication& app, std::string& error) override
    {
        fades.reset();
        return build(app, error);
    }
    void destroy(DemoApplication&) override { ++destroys; }

    FadeState fades;
    bool assetsLoad = true, builds = true;
    LaunchResult dialogResult = LaunchResult::Launch;
    int dialogs = 0, buildCalls = 0, musicStarts = 0, frames = 0, destroys = 0;
};

// Frame k reads times[k], the last one repeating; both reads of a frame agree.
class ScriptedClock : public FrameClock {
public:
    explicit ScriptedClock(std::vector<uint32_t> times) : times_(std::move(times)) {}
    bool start() override
    {
        previousTicks = 0;
        frame_ = 0;
        return true;
    }
    void stop() override {}
    uint32_t tickCount() const override { return times_[std::min(frame_, times_.size() - 1)]; }
    void frameDone() override { ++frame_; }

private:
    std::vector<uint32_t> times_;
    size_t frame_ = 0;
};

// Calls back after each rendered frame with its index.
class CallbackObserver : public FrameObserver {
public:
    explicit CallbackObserver(std::function<void(DemoApplication&, int)> onFrame) : onFrame_(std::move(onFrame)) {}
    void frameRendered(DemoApplication& app) override { onFrame_(app, frames_++); }

private:
    std::function<void(DemoApplication&, int)> onFrame_;
    int frames_ = 0;
};

// Without the dialog, in a small window, silent.
inline RunSettings windowedRun(DemoApplication& app, FrameClock& clock, int width = 64, int height = 40)
{
    app.audio = makeNullAudioBackend();
    RunSettings run;
    run.options.noDialog = true;
    run.options.fullscreen = false;
    run.options.width = width;
    run.options.height = height;
    run.options.aspect = AspectCode::Ratio16x10;
    run.options.vsync = false;
    run.clock = &clock;
    return run;
}
