// The program as a user meets it: its command line, its keys during the show,
// and its launch dialog, driven on a real X server.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "tests/support/process.h"
#include "tests/support/x_desktop.h"

namespace {

const std::string kProgram = BRINDLE_PROGRAM;
const std::string kData = BRINDLE_TEST_DATA_DIR;
const std::string kDialogTitle = "brindle kiln 2.0";
const std::string kShowTitle = "brindle2o16";

void pause(double seconds) { std::this_thread::sleep_for(std::chrono::duration<double>(seconds)); }

class OnTheDesktop : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!std::getenv("DISPLAY"))
            GTEST_SKIP() << "needs an X server (run under xvfb-run)";
        if (!std::filesystem::exists(kData + "/music.mp3"))
            GTEST_SKIP() << "needs the generated Data folder";
    }

    // Waits for the dialog of `program` to come up with the keyboard focus.
    static unsigned long dialogOf(XDesktop& desktop, Process& program)
    {
        const unsigned long dialog = desktop.waitForWindow(program.pid(), kDialogTitle, 20);
        EXPECT_NE(dialog, 0u) << "no dialog window appeared\n" << program.errSoFar();
        EXPECT_EQ(desktop.waitForWindow(program.pid(), kShowTitle, 0), 0u) << "a show window while the dialog is up";
        for (int i = 0; i < 50 && desktop.focusedWindow() != dialog; ++i)
            pause(0.1);
        // The dialog takes the keyboard focus itself, with or without a window manager.
        EXPECT_EQ(desktop.focusedWindow(), dialog) << "the dialog did not take the keyboard focus";
        return dialog;
    }
};

}  // namespace

TEST(Program, BadOptionsExitTwoWithUsageAndHelpGoesToStdout)
{
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>> {
             {"--bogus"}, {"--size", "640"}, {"--fps", "x", "--bench"}, {"--start", "134001"}, {"--start", "1s"}}) {
        const ProcessResult r = runProcess(kProgram, args);
        EXPECT_EQ(r.status, 2) << args[0];
        EXPECT_NE(r.err.find("usage: brindle"), std::string::npos) << args[0];
        EXPECT_EQ(r.out, "") << args[0];
    }
    const ProcessResult r = runProcess(kProgram, {"--help"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out.rfind("usage: brindle", 0), 0u);
}

TEST_F(OnTheDesktop, SpacePausesTheShowRightAndLeftJumpTenSeconds)
{
    XDesktop desktop;
    Process show(kProgram,
        {"--no-dialog", "--windowed", "--size", "320x200", "--no-vsync", "--data", kData, "--no-music", "--start",
            "40000", "--stats"});
    const unsigned long window = desktop.waitForWindow(show.pid(), kShowTitle, 30);
    ASSERT_TRUE(window && desktop.waitForPicture(window, 30)) << show.errSoFar();
    const auto pictureMoves = [&] {
        const std::vector<char> before = desktop.grab(window);
        pause(0.4);
        return desktop.grab(window) != before;
    };
    EXPECT_TRUE(pictureMoves()) << "the banner stretch runs";
    ASSERT_TRUE(desktop.press(window, "space"));
    EXPECT_FALSE(pictureMoves()) << "paused, the picture holds";
    ASSERT_TRUE(desktop.press(window, "space"));
    EXPECT_TRUE(pictureMoves()) << "resumed";
    // From about 42 s into the swarm (72..89 s), then back into the plus field
    // (4..32 s), which 40 s never reaches.
    ASSERT_TRUE(desktop.press(window, "Right Right Right Right"));
    pause(0.4);
    ASSERT_TRUE(desktop.press(window, "Left Left Left Left Left Left"));
    pause(0.4);
    ASSERT_TRUE(desktop.press(window, "Escape"));
    const ProcessResult r = show.finish(30);
    ASSERT_EQ(r.status, 0) << r.err;
    nlohmann::json stats = nlohmann::json::parse(r.out, nullptr, false);
    EXPECT_EQ(stats["segments"]["intro"]["frames"], 0) << r.out;
    EXPECT_GT(stats["segments"]["swarm"]["frames"], 0) << r.out;
    EXPECT_GT(stats["segments"]["plus"]["frames"], 0) << r.out;
    EXPECT_TRUE(stats["relock_ms"].is_number()) << r.out;
}

TEST_F(OnTheDesktop, InTheDialogReturnLaunchesAndEscapeOrTheCloseBoxQuits)
{
    XDesktop desktop;
    for (const std::string how : {"Return", "Escape", "close"}) {
        Process program(kProgram, {"--data", kData, "--windowed", "--no-music"});
        const unsigned long dialog = dialogOf(desktop, program);
        if (how == "close")
            EXPECT_TRUE(desktop.requestClose(dialog));
        else
            EXPECT_TRUE(desktop.xdotool("key " + how));
        if (how == "Return") {
            const unsigned long show = desktop.waitForWindow(program.pid(), kShowTitle, 60);
            ASSERT_NE(show, 0u) << "Return in the dialog did not open the show window\n" << program.errSoFar();
            EXPECT_TRUE(desktop.press(show, "Escape"));
        }
        const ProcessResult r = program.finish(20);
        EXPECT_EQ(r.status, how == "Return" ? 0 : 255) << how << "\n" << r.err;
    }
}

// On a server that switches modes: the dialog refuses a size the server lacks,
// the full-screen show runs in the size chosen, and the desktop gets its mode back.
TEST_F(OnTheDesktop, TheDialogsFullScreenSizeIsCheckedSwitchedToAndGivenBack)
{
    const char* modeDisplay = std::getenv("BRINDLE_MODE_DISPLAY");
    if (!modeDisplay)
        GTEST_SKIP() << "needs the mode-switching X server: run under scripts/with-mode-server.sh";
    XDesktop desktop(modeDisplay);
    ASSERT_EQ(desktop.currentMode(), (ScreenMode {1920, 1080}));
    Process program(kProgram, {"--data", kData, "--no-music"}, {std::string("DISPLAY=") + modeDisplay});
    const unsigned long dialog = dialogOf(desktop, program);
    // A click into the resolution field's text (its place in dialog units,
    // scaled to the window); Fullscreen is ticked already.
    const ScreenMode size = desktop.windowSize(dialog).value_or(ScreenMode {});
    ASSERT_TRUE(desktop.xdotool("mousemove --window " + std::to_string(dialog) + " "
        + std::to_string(size.width * 40 / 417) + " " + std::to_string(size.height * 26 / 87) + " click 1"));
    ASSERT_TRUE(desktop.xdotool("key ctrl+a") && desktop.xdotool("type 1024x768"));
    ASSERT_TRUE(desktop.xdotool("key Return"));
    pause(1.0);
    EXPECT_TRUE(program.running()) << "the dialog closed on a size the server does not offer";
    EXPECT_EQ(desktop.waitForWindow(program.pid(), kShowTitle, 0), 0u) << "a size the server lacks opened the show";
    ASSERT_TRUE(desktop.xdotool("key ctrl+a") && desktop.xdotool("type 1280x720"));
    ASSERT_TRUE(desktop.xdotool("key Return"));
    const unsigned long show = desktop.waitForWindow(program.pid(), kShowTitle, 60);
    ASSERT_NE(show, 0u) << "1280x720 did not open the show window\n" << program.errSoFar();
    EXPECT_TRUE(desktop.waitForMode({1280, 720}, 5));
    EXPECT_TRUE(desktop.press(show, "Escape"));
    const ProcessResult r = program.finish(30);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(desktop.currentMode(), (ScreenMode {1920, 1080}));
}
