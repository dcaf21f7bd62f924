// A show that only clears the window to white and lays the colour fades over
// it, a clock driven by a script of show times, and helpers to run the real
// frame loop around them in tests.
#pragma once

#include <functional>
#include <vector>

#include "app/application.h"
#include "app/configurator.h"
#include "app/frame_clock.h"
#include "app/run_show.h"
#include "show/colour_fades.h"

class TestConfigurator : public DemoConfigurator {
public:
    TestConfigurator(DemoApplication& app, bool succeed) : DemoConfigurator(app), succeed_(succeed) {}
    bool loadAssets() override;

private:
    bool succeed_;
};

class ClearShow : public ShowProgram {
public:
    std::unique_ptr<DemoConfigurator> makeConfigurator(DemoApplication& app) override;
    LaunchResult runDialog(DemoApplication&, const LaunchPreset&) override;
    bool build(DemoApplication& app, std::string& error) override;
    void startMusic(DemoApplication&) override { ++musicStarts; }
    void renderFrame(DemoApplication& app) override;
    void advanceFrame(DemoApplication& app) override;
    bool rebuild(DemoApplication& app, std::string& error) override;
    void destroy(DemoApplication&) override { ++destroys; }

    FadeState fades;
    bool assetsLoad = true;
    bool builds = true;
    LaunchResult dialogResult = LaunchResult::Launch;
    int dialogs = 0, buildCalls = 0, musicStarts = 0, frames = 0, destroys = 0, rebuilds = 0;
    std::vector<uint32_t> advancedTimes;
};

// Frame k reads times[k] (the last one repeats); both reads of a frame agree.
class ScriptedClock : public FrameClock {
public:
    explicit ScriptedClock(std::vector<uint32_t> times) : times_(std::move(times)) {}
    bool start() override;
    void stop() override {}
    uint32_t tickCount() const override;
    void frameDone() override { ++frame_; }

private:
    std::vector<uint32_t> times_;
    size_t frame_ = 0;
};

// Calls back after each rendered frame with its index.
class CallbackObserver : public FrameObserver {
public:
    explicit CallbackObserver(std::function<void(DemoApplication&, int)> onFrame) : onFrame_(std::move(onFrame)) {}
    void frameRendered(DemoApplication& app) override { onFrame_(app, frames++); }
    int frames = 0;

private:
    std::function<void(DemoApplication&, int)> onFrame_;
};

// A record with the silent audio back end.
void prepareTestApp(DemoApplication& app);

// Launch without the dialog in a small window at the given size.
RunSettings windowedRun(FrameClock& clock, int width = 64, int height = 40);

// The colour of the pixel at (x, y) of the current read buffer.
std::array<int, 4> readPixel(int x, int y);
