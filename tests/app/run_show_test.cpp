#include <gtest/gtest.h>

#include "test_show.h"

namespace {

// Reads the window's width before the first frame, and ends the loop there.
struct WidthBeforeFirstFrame : FrameObserver {
    bool beforeFrame(DemoApplication& app) override
    {
        SDL_GetWindowSize(app.window, &width, nullptr);
        return false;
    }
    int width = 0;
};

} // namespace

TEST(RunShow, TheDialogsSettingsAreUsedAndItsQuitOpensNothing)
{
    for (LaunchResult result : {LaunchResult::Launch, LaunchResult::Quit}) {
        const bool quit = result == LaunchResult::Quit;
        TestRun test(320, 200);
        test.show.dialogResult = result;
        test.settings.options.noDialog = false;
        WidthBeforeFirstFrame observer;
        test.settings.observer = &observer;
        EXPECT_EQ(test.run(), quit ? kExitQuit : 0);
        EXPECT_EQ(observer.width, quit ? 0 : 64);
        EXPECT_EQ(test.show.buildCalls, quit ? 0 : 1);
    }
}

TEST(RunShow, StartFailuresPrintOneLineAndLeaveNothingOpen)
{
    for (const bool assetsFail : {true, false}) {
        TestRun test;
        test.show.assetsLoad = !assetsFail;
        test.show.builds = false;
        testing::internal::CaptureStderr();
        EXPECT_EQ(test.run(), kExitStartFailed);
        EXPECT_EQ(testing::internal::GetCapturedStderr(), assetsFail ? "brindle: test assets refused to load\n"
                                                                     : "brindle: test show refused to build\n");
        EXPECT_EQ(test.show.frames + test.show.musicStarts + test.show.destroys, 0);
        EXPECT_EQ(test.app.window, nullptr);
        EXPECT_EQ(test.app.configurator, nullptr);
    }
}
