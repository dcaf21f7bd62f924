#include <gtest/gtest.h>

#include <csignal>

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

} // namespace

TEST(RunShow, RendersUpTo134000AtTheClocksTimesAndTakesEverythingDown)
{
    DemoApplication app;
    ClearShow show;
    ScriptedClock clock({0, 2000, 134000, 134001});
    FrameStats stats;
    std::vector<int> red;
    CallbackObserver observer([&](DemoApplication& a, int) {
        unsigned char p[4] = {};
        glReadPixels(a.width / 2, a.height / 2, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, p);
        red.push_back(p[0]);
    });
    RunSettings run = windowedRun(app, clock);
    run.observer = &observer;
    run.stats = &stats;

    ASSERT_EQ(runShow(app, show, run), 0);
    EXPECT_EQ(stats.frames(), 3u);
    ASSERT_EQ(red.size(), 3u);
    // Half-way through the opening fade from black, over white.
    EXPECT_NEAR(red[1], 128, 1);
    EXPECT_EQ(show.musicStarts, 1);
    EXPECT_EQ(show.destroys, 1);
    EXPECT_EQ(app.window, nullptr);
}

// Each way of quitting ends with status 0 after the frame in which it arrived.
TEST(RunShow, EscapeCloseAndSignalsEndAfterTheCurrentFrame)
{
    const std::pair<const char*, std::function<void(DemoApplication&)>> quits[] = {
        {"escape", [](DemoApplication&) { pushKey(SDLK_ESCAPE); }},
        {"close", pushWindowClose},
        {"SIGTERM", [](DemoApplication&) { std::raise(SIGTERM); }},
        {"SIGINT", [](DemoApplication&) { std::raise(SIGINT); }},
    };
    for (const auto& [name, quit] : quits) {
        SCOPED_TRACE(name);
        DemoApplication app;
        ClearShow show;
        std::vector<uint32_t> times(1000);
        for (size_t i = 0; i < times.size(); ++i)
            times[i] = static_cast<uint32_t>(10 * i);
        ScriptedClock clock(times);
        CallbackObserver observer([&quit](DemoApplication& a, int frame) {
            if (frame == 0)
                pushKey(SDLK_a);
            if (frame == 2)
                quit(a);
        });
        RunSettings run = windowedRun(app, clock);
        run.observer = &observer;
        ASSERT_EQ(runShow(app, show, run), 0);
        EXPECT_EQ(show.frames, 4);
        EXPECT_EQ(show.destroys, 1);
        EXPECT_TRUE(app.isKeyDown(KeyCode {'A'}));
        EXPECT_EQ(app.isKeyDown(KeyCode::Escape), std::string(name) == "escape");
        clearQuitSignal();
    }
}

TEST(RunShow, TheDialogsSettingsAreUsedAndItsQuitOpensNothing)
{
    for (LaunchResult result : {LaunchResult::Launch, LaunchResult::Quit}) {
        const bool quit = result == LaunchResult::Quit;
        DemoApplication app;
        ClearShow show;
        show.dialogResult = result;
        ScriptedClock clock({0, 134000});
        RunSettings run = windowedRun(app, clock, 320, 200);
        run.options.noDialog = false;
        int width = 0;
        CallbackObserver observer([&](DemoApplication& a, int) { SDL_GetWindowSize(a.window, &width, nullptr); });
        run.observer = &observer;
        EXPECT_EQ(runShow(app, show, run), quit ? kExitQuit : 0);
        EXPECT_EQ(width, quit ? 0 : 64);
        EXPECT_EQ(show.buildCalls, quit ? 0 : 1);
    }
}

TEST(RunShow, StartFailuresPrintOneLineAndLeaveNothingOpen)
{
    for (const bool assetsFail : {true, false}) {
        DemoApplication app;
        ClearShow show;
        show.assetsLoad = !assetsFail;
        show.builds = false;
        ScriptedClock clock({0});
        testing::internal::CaptureStderr();
        EXPECT_EQ(runShow(app, show, windowedRun(app, clock)), kExitStartFailed);
        EXPECT_EQ(testing::internal::GetCapturedStderr(), assetsFail ? "brindle: test assets refused to load\n"
                                                                     : "brindle: test show refused to build\n");
        EXPECT_EQ(show.frames + show.musicStarts + show.destroys, 0);
        EXPECT_EQ(app.window, nullptr);
        EXPECT_EQ(app.configurator, nullptr);
    }
}
