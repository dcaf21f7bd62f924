// A show that only clears the window, and a small silent windowed run of the
// real frame loop around it.
#pragma once

#include "app/configurator.h"
#include "app/frame_clock.h"
#include "app/run_show.h"
#include "gfx/gl_api.h"

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
    void renderFrame(DemoApplication&) override
    {
        ++frames;
        glClear(GL_COLOR_BUFFER_BIT);
    }
    void advanceFrame(DemoApplication&) override {}
    bool rebuild(DemoApplication& app, std::string& error) override { return build(app, error); }
    void destroy(DemoApplication&) override { ++destroys; }

    bool assetsLoad = true, builds = true;
    LaunchResult dialogResult = LaunchResult::Launch;
    int buildCalls = 0, musicStarts = 0, frames = 0, destroys = 0;
};

// Without the dialog, in a small window, silent, at 60 fixed steps a second.
struct TestRun {
    explicit TestRun(int width = 64, int height = 40) : clock(60)
    {
        app.audio = makeNullAudioBackend();
        settings.options.noDialog = true;
        settings.options.fullscreen = false;
        settings.options.width = width;
        settings.options.height = height;
        settings.options.vsync = false;
        settings.clock = &clock;
    }
    int run() { return runShow(app, show, settings); }

    DemoApplication app;
    ClearShow show;
    FixedStepClock clock;
    RunSettings settings;
};
