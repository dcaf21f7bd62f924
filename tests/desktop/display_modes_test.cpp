// The resolution list and the desktop aspect classification.
#include "desktop/display_modes.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdlib>

TEST(DistinctModes, KeepsFirstThirtyTwoBitModePerResolutionInOrder)
{
    const std::vector<DisplayMode> enumerated
        = {{1920, 1080, 16, 60}, {1920, 1080, 32, 60}, {1920, 1080, 32, 144}, {1280, 720, 32, 75}, {800, 600, 16, 60},
            {1280, 720, 32, 60}, {1080, 1920, 32, 60}, {1024, 768, 8, 60}, {1024, 768, 32, 60}};
    std::vector<std::string> kept;
    for (const DisplayMode& mode : distinctModes(enumerated))
        kept.push_back(
            modeLabel(mode) + "@" + std::to_string(mode.refreshRate) + "/" + std::to_string(mode.bitsPerPixel));
    // The first enumerated refresh rate, not the fastest.
    EXPECT_EQ(
        kept, (std::vector<std::string> {"1920x1080@60/32", "1280x720@75/32", "1080x1920@60/32", "1024x768@60/32"}));
    EXPECT_TRUE(distinctModes({{640, 480, 16, 60}, {640, 480, 24, 60}}).empty());
}

TEST(DetectAspect, ClassifiesDesktopsInSinglePrecision)
{
    using enum AspectCode;
    for (const auto& [width, height, code] : std::vector<std::tuple<uint32_t, uint32_t, AspectCode>> {
             {1920, 1080, Ratio16x9},
             {1920, 1200, Ratio16x10},
             {1280, 1024, Ratio5x4},
             {1024, 768, Ratio4x3},
             {1366, 768, Other},
             {1920, 0, Other},
             // 16777217 rounds to 2^24 as a float, so the ratio is exactly 16/10
             // there; divided in double precision it rounds to the next float up.
             {16777217u, 10485760u, Ratio16x10},
         })
        EXPECT_EQ(detectAspect(width, height), code) << width << "x" << height;
}

// The dialog can only preselect the desktop's mode if SDL lists it as 32-bit.
TEST(EnumerateDisplayModes, ListsTheDesktopModeAsThirtyTwoBit)
{
    if (std::getenv("DISPLAY") == nullptr)
        GTEST_SKIP() << "no display";
    const DisplayMode desktop = desktopMode();
    ASSERT_GT(desktop.width, 0);
    EXPECT_EQ(desktop.bitsPerPixel, 32);
    EXPECT_GE(findMode(distinctModes(enumerateDisplayModes()), desktop.width, desktop.height), 0);
    EXPECT_EQ(SDL_WasInit(SDL_INIT_VIDEO), 0u) << "the video subsystem is handed back";
}

// SDL would fall back to its off-screen driver and invent a 1024x768 desktop.
TEST(EnumerateDisplayModes, NoReachableDisplayGivesNoModes)
{
    const char* saved = std::getenv("DISPLAY");
    const std::string display = saved ? saved : "";
    unsetenv("WAYLAND_DISPLAY");
    unsetenv("SDL_VIDEODRIVER");
    setenv("DISPLAY", ":917", 1);
    EXPECT_TRUE(enumerateDisplayModes().empty());
    EXPECT_EQ(desktopMode().width, 0);
    saved ? setenv("DISPLAY", display.c_str(), 1) : unsetenv("DISPLAY");
}
