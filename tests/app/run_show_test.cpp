#include <gtest/gtest.h>

#include <csignal>
#include <functional>

#include "gfx/gl_api.h"
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
    // 134000 is the last frame: 134001 is never rendered.
    ScriptedClock clock({0, 2000, 4000, 131000, 134000, 134001});
    FrameStats stats;
    std::vector<std::array<int, 4>> centre;
    CallbackObserver observer([&](DemoApplication& a, int) { centre.push_back(readPixel(a.width / 2, a.height / 2)); });
    RunSettings run = windowedRun(clock);
    run.observer = &observer;
    run.stats = &stats;

    ASSERT_EQ(runShow(app, show, run), 0);
    EXPECT_EQ(stats.frames(), 5u);
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

// Each way of quitting ends with status 0 after the frame in which it arrived.
TEST(RunShow, EscapeCloseAndSignalsEndAfterTheCurrentFrame)
{
    const std::vector<std::pair<const char*, std::function<void(DemoApplication&)>>> quits = {
        {"escape", [](DemoApplication&) { pushKey(SDLK_ESCAPE); }},
        {"close", pushWindowClose},
        {"SIGTERM", [](DemoApplication&) { std::raise(SIGTERM); }},
        {"SIGINT", [](DemoApplication&) { std::raise(SIGINT); }},
    };
    for (const auto& [name, quit] : quits) {
        DemoApplication app;
        prepareTestApp(app);
        ClearShow show;
        ScriptedClock clock(everyTenMs(1000));
        CallbackObserver observer([&quit](DemoApplication& a, int frame) {
            if (frame == 0)
                pushKey(SDLK_a);
            if (frame == 2)
                quit(a);
        });
        RunSettings run = windowedRun(clock);
        run.observer = &observer;
        ASSERT_EQ(runShow(app, show, run), 0) << name;
        EXPECT_EQ(show.frames, 4) << name;
        EXPECT_EQ(show.destroys, 1) << name;
        EXPECT_TRUE(app.isKeyDown(KeyCode {'A'})) << name;
        EXPECT_EQ(app.isKeyDown(KeyCode::Escape), std::string(name) == "escape") << name;
        clearQuitSignal();
    }
}

TEST(RunShow, TheDialogsSettingsAreUsedAndItsQuitOpensNothing)
{
    for (LaunchResult result : {LaunchResult::Launch, LaunchResult::Quit}) {
        DemoApplication app;
        prepareTestApp(app);
        ClearShow show;
        show.dialogResult = result;
        ScriptedClock clock({0, 134000});
        RunSettings run = windowedRun(clock, 320, 200);
        run.options.noDialog = false;
        int width = 0;
        CallbackObserver observer([&](DemoApplication& a, int) { SDL_GetWindowSize(a.window, &width, nullptr); });
        run.observer = &observer;
        const bool quit = result == LaunchResult::Quit;
        EXPECT_EQ(runShow(app, show, run), quit ? -1 : 0);
        EXPECT_EQ(show.dialogs, 1);
        EXPECT_EQ(width, quit ? 0 : 64);
        EXPECT_EQ(show.buildCalls, quit ? 0 : 1);
    }
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
