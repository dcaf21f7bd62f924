#include "test_show.h"

#include "gfx/gl_api.h"

bool TestConfigurator::loadAssets()
{
    if (!succeed_)
        error_ = "test assets refused to load";
    return succeed_;
}

std::unique_ptr<DemoConfigurator> ClearShow::makeConfigurator(DemoApplication& app)
{
    return std::make_unique<TestConfigurator>(app, assetsLoad);
}

LaunchResult ClearShow::runDialog(DemoApplication& app, const LaunchPreset&)
{
    ++dialogs;
    app.width = 64;
    app.height = 40;
    app.fullscreen = false;
    return dialogResult;
}

bool ClearShow::build(DemoApplication&, std::string& error)
{
    ++buildCalls;
    if (!builds)
        error = "test show refused to build";
    return builds;
}

bool ClearShow::rebuild(DemoApplication& app, std::string& error)
{
    ++rebuilds;
    advancedTimes.clear();
    fades.reset();
    return build(app, error);
}

void ClearShow::advanceFrame(DemoApplication& app)
{
    advancedTimes.push_back(app.showTimeMs);
    advanceFades(fades, app.showTimeMs);
}

void ClearShow::renderFrame(DemoApplication& app)
{
    ++frames;
    glClearColor(1, 1, 1, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    drawFades(fades, app.showTimeMs);
}

bool ScriptedClock::start()
{
    previousTicks = 0;
    frame_ = 0;
    return true;
}

uint32_t ScriptedClock::tickCount() const
{
    return times_[std::min(frame_, times_.size() - 1)];
}

void prepareTestApp(DemoApplication& app)
{
    app.audio = makeNullAudioBackend();
}

RunSettings windowedRun(FrameClock& clock, int width, int height)
{
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

std::array<int, 4> readPixel(int x, int y)
{
    unsigned char p[4] = {};
    glReadPixels(x, y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, p);
    return {p[0], p[1], p[2], p[3]};
}
