#include <gtest/gtest.h>

#include <csignal>

#include "app/gl_api.h"
#include "app/stats.h"
#include "test_show.h"

namespace {

void pushKey(SDL_Keycode key)
{
    SDL_Event event{};
    event.type = SDL_KEYDOWN;
    event.key.keysym.sym = key;
    SDL_PushEvent(&event);
}

void pushWindowClose(DemoApplication& app)
{
    SDL_Event event{};
    event.type = SDL_WINDOWEVENT;
    event.window.event = SDL_WINDOWEVENT_CLOSE;
    event.window.windowID = SDL_GetWindowID(app.window);
    SDL_PushEvent(&event);
}

std::vector<uint32_t> everyTenMs(int frames)
{
    std::vector<uint32_t> times;
    for (int i = 0; i < frames; ++i)
        times.push_back(static_cast<uint32_t>(10 * i));
    return times;
}

} // namespace

TEST(RunShow, FadesAreReadBackFromRealFrames)
{
    DemoApplication app;
    prepareTestApp(app);
    ClearShow show;
    ScriptedClock clock({0, 2000, 4000, 131000, 134000});
    std::vector<std::array<int, 4>> centre;
    CallbackObserver observer([&](DemoApplication& a, int) { centre.push_back(readPixel(a.width / 2, a.height / 2)); });
    RunSettings run = windowedRun(clock);
    run.observer = &observer;

    ASSERT_EQ(runShow(app, show, run), 0);
    // Black at alpha a over white leaves 255 * (1 - a).
    ASSERT_EQ(centre.size(), 5u);
    EXPECT_EQ(centre[0][0], 0);
    EXPECT_NEAR(centre[1][0], 128, 1);
    EXPECT_EQ(centre[2][0], 255);
    EXPECT_NEAR(centre[3][0], 191, 1);
    EXPECT_EQ(centre[4][0], 0);
    EXPECT_EQ(show.musicStarts, 1);
    EXPECT_EQ(show.destroys, 1);
    EXPECT_EQ(app.window, nullptr);
}

TEST(RunShow, TheFrameAt134000IsRenderedAndEndsTheLoop)
{
    DemoApplication app;
    prepareTestApp(app);
    ClearShow show;
    ScriptedClock clock({0, 133999, 134000, 134001});
    FrameStats stats;
    RunSettings run = windowedRun(clock);
    run.stats = &stats;
    ASSERT_EQ(runShow(app, show, run), 0);
    EXPECT_EQ(show.frames, 3);
    EXPECT_EQ(stats.frames(), 3u);
    EXPECT_EQ(app.showTimeMs, 134000u);
}

TEST(RunShow, EscapeEndsTheLoopAfterRenderingThatFrame)
{
    DemoApplication app;
    prepareTestApp(app);
    ClearShow show;
    ScriptedClock clock(everyTenMs(1000));
    CallbackObserver observer([](DemoApplication&, int frame) {
        if (frame == 0)
            pushKey(SDLK_a);
        if (frame == 2)
            pushKey(SDLK_ESCAPE);
    });
    RunSettings run = windowedRun(clock);
    run.observer = &observer;
    ASSERT_EQ(runShow(app, show, run), 0);
    EXPECT_EQ(show.frames, 4);
    EXPECT_TRUE(app.keyDown[kEscapeKey]);
    EXPECT_TRUE(app.keyDown['A']);
    EXPECT_FALSE(app.keyDown['B']);
}

TEST(RunShow, ClosingTheWindowEndsAfterTheCurrentFrame)
{
    DemoApplication app;
    prepareTestApp(app);
    ClearShow show;
    ScriptedClock clock(everyTenMs(1000));
    CallbackObserver observer([](DemoApplication& a, int frame) {
        if (frame == 1)
            pushWindowClose(a);
    });
    RunSettings run = windowedRun(clock);
    run.observer = &observer;
    ASSERT_EQ(runShow(app, show, run), 0);
    EXPECT_EQ(show.frames, 3);
    EXPECT_FALSE(app.keyDown[kEscapeKey]);
}

TEST(RunShow, TerminationSignalsEndTheShowCleanly)
{
    for (int signal : {SIGTERM, SIGINT}) {
        DemoApplication app;
        prepareTestApp(app);
        ClearShow show;
        ScriptedClock clock(everyTenMs(1000));
        CallbackObserver observer([signal](DemoApplication&, int frame) {
            if (frame == 4)
                std::raise(signal);
        });
        RunSettings run = windowedRun(clock);
        run.observer = &observer;
        ASSERT_EQ(runShow(app, show, run), 0);
        EXPECT_EQ(show.frames, 6);
        EXPECT_EQ(show.destroys, 1);
        clearQuitSignal();
    }
}

TEST(RunShow, DialogQuitEndsWithMinusOneBeforeAnyWindow)
{
    DemoApplication app;
    prepareTestApp(app);
    ClearShow show;
    show.dialogResult = -1;
    ScriptedClock clock({0});
    RunSettings run = windowedRun(clock);
    run.options.noDialog = false;
    EXPECT_EQ(runShow(app, show, run), -1);
    EXPECT_EQ(show.dialogs, 1);
    EXPECT_EQ(show.buildCalls, 0);
    EXPECT_EQ(app.configurator, nullptr);
}

TEST(RunShow, DialogLaunchUsesItsSettings)
{
    DemoApplication app;
    prepareTestApp(app);
    ClearShow show;
    ScriptedClock clock({0, 134000});
    RunSettings run = windowedRun(clock, 320, 200);
    run.options.noDialog = false;
    int width = 0;
    CallbackObserver observer([&](DemoApplication& a, int) { SDL_GetWindowSize(a.window, &width, nullptr); });
    run.observer = &observer;
    EXPECT_EQ(runShow(app, show, run), 0);
    EXPECT_EQ(show.dialogs, 1);
    EXPECT_EQ(width, 64);
}

TEST(RunShow, StartFailuresPrintOneLineAndLeaveNothingOpen)
{
    for (int failing = 0; failing < 2; ++failing) {
        DemoApplication app;
        prepareTestApp(app);
        ClearShow show;
        show.assetsLoad = failing != 0;
        show.builds = failing == 0;
        ScriptedClock clock({0});
        testing::internal::CaptureStderr();
        EXPECT_EQ(runShow(app, show, windowedRun(clock)), kExitStartFailed);
        const std::string printed = testing::internal::GetCapturedStderr();
        EXPECT_EQ(printed, failing == 0 ? "brindle: test assets refused to load\n"
                                        : "brindle: test show refused to build\n");
        EXPECT_EQ(show.frames, 0);
        EXPECT_EQ(show.musicStarts, 0);
        EXPECT_EQ(show.destroys, 0);
        EXPECT_EQ(app.window, nullptr);
        EXPECT_EQ(app.configurator, nullptr);
    }
}
