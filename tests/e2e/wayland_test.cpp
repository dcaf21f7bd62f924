// The program in a Wayland desktop session: full screen at a listed size and
// on a high-density output, on weston nested in Xvfb
// (scripts/with-wayland-server.sh). The fault suite holds its other ways in
// and out of such a session.
#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <filesystem>

#include "tests/support/process.h"
#include "tests/support/reference_picture.h"
#include "tests/support/wayland_session.h"

namespace fs = std::filesystem;

namespace {

const std::string kProgram = BRINDLE_PROGRAM;
const std::string kData = BRINDLE_TEST_DATA_DIR;

Process brindle(std::vector<std::string> args, std::vector<std::string> env)
{
    args.insert(args.end(), {"--data", kData});
    env.push_back("SDL_AUDIODRIVER=dummy");
    return Process(kProgram, args, env);
}

const char* const kNoWayland = "needs the Wayland test server: run under scripts/with-wayland-server.sh";

}  // namespace

// The compositor scales a full-screen show at a listed size to its output:
// no part of the desktop shows beside it, and the lit floor of the banner
// scene reaches the output's bottom row, where a show left at its size in the
// middle would leave a black border.
TEST(OnWayland, FullScreenAtAListedSizeFillsTheOutput)
{
    WaylandSession wayland;
    if (!wayland.ok())
        GTEST_SKIP() << kNoWayland;
    Process show
        = brindle({"--no-dialog", "--fullscreen", "--size", "800x600", "--start", "40000"}, wayland.nativeEnv());
    EXPECT_TRUE(wayland.waitForChange(60, 0.98)) << "the desktop still shows\n" << show.errSoFar();
    const WindowPicture screen = wayland.output();
    const auto bottom = screen.rgb.end() - screen.width * 3;
    EXPECT_GT(std::count_if(bottom, screen.rgb.end(), [](uint8_t c) { return c > 16; }), screen.width)
        << "the bottom row is black";
    show.signal(SIGINT);
    const ProcessResult r = show.finish(30);
    EXPECT_EQ(r.status, 0) << r.err;
}

// At two pixels per point the show draws the drawable's pixels, not the
// window's points. A capture shown full screen on a scaled output, read back
// from the output, is one of the frames it wrote, and that frame is the one
// an off-screen capture at the output's pixel size makes of the same moment.
TEST(HighDensityOutput, TheShowDrawsEveryPixelOfAScaledOutput)
{
    WaylandSession scaled(2);
    if (!scaled.ok())
        GTEST_SKIP() << kNoWayland;
    ScratchDir folder("hidpi");
    const fs::path onScreen = folder.path() / "on-screen", offScreen = folder.path() / "off-screen";
    std::vector<std::string> env = scaled.nativeEnv();
    env.push_back("SDL_VIDEODRIVER=wayland");
    Process shown = brindle({"--capture", onScreen.string(), "--fullscreen", "--size", "1024x768", "--fps", "4",
                                "--from", "125000", "--to", "127000"},
        env);
    ASSERT_TRUE(scaled.waitForChange(60, 0.98)) << "the show never filled the output\n" << shown.errSoFar();
    const WindowPicture output = scaled.output();
    const ProcessResult r = shown.finish(120);
    ASSERT_EQ(r.status, 0) << r.err;
    const Picture screen {output.width, output.height, output.rgb};
    ASSERT_EQ(std::make_pair(screen.width, screen.height), std::make_pair(2048, 1536));

    // The frame the output showed when it was read; frame k is at k x 250 ms.
    std::string shownFrame;
    for (const std::string& name : fileNamesIn(onScreen))
        if (matchReference((onScreen / name).string(), screen).empty())
            shownFrame = name;
    ASSERT_NE(shownFrame, "") << "the output shows none of the frames written";
    const int moment = std::stoi(shownFrame.substr(shownFrame.find('_') + 1)) * 250;
    const ProcessResult c = brindle({"--capture", offScreen.string(), "--fps", "4", "--from", std::to_string(moment),
                                        "--to", std::to_string(moment + 1), "--size", "2048x1536"},
        {"SDL_VIDEODRIVER=offscreen"})
                                .finish(120);
    ASSERT_EQ(c.status, 0) << c.err;
    EXPECT_EQ(fileNamesIn(offScreen), std::vector<std::string> {shownFrame});
    EXPECT_EQ(bytesOf(offScreen / shownFrame), bytesOf(onScreen / shownFrame)) << "at " << moment << " ms";
}
