// From the dialog's control states to the launch settings, and the
// toolkit that must not give the program decimal commas.
#include "app/launch_dialog.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <tuple>

namespace {

const std::vector<DisplayMode> kModes = {{1920, 1080, 32, 60}, {1280, 720, 32, 60}, {1024, 768, 32, 75}};

// Values no Launch would write, to see what was left alone.
LaunchSettings untouched(AspectCode desktopAspect = AspectCode::Other)
{
    LaunchSettings s;
    s.width = -7, s.height = -8, s.bitsPerPixel = 0, s.aspect = AspectCode::Ratio5x4, s.samples = 4;
    s.fullscreen = s.vsync = s.musicEnabled = false;
    s.desktopAspect = desktopAspect;
    return s;
}

// What Launch writes: width, height, bits per pixel, the aspect the picture
// is projected for, samples, full screen, vsync and music.
using Written = std::tuple<int, int, int, AspectCode, int, bool, bool, bool>;

Written fields(const LaunchSettings& s)
{
    return {s.width, s.height, s.bitsPerPixel, s.aspectMode(), s.samples, s.fullscreen, s.vsync, s.musicEnabled};
}

TEST(LaunchMapping, ControlStatesLandInTheirOwnFields)
{
    using enum AspectCode;
    using Edit = void (*)(LaunchControls&);
    for (const auto& [what, edit, desktopAspect, expected] :
        std::vector<std::tuple<const char*, Edit, AspectCode, Written>> {
            {"explicit ratio beats the desktop's", [](LaunchControls& c) { c.aspectIndex = 4; }, Ratio16x9,
                {1280, 720, 32, Ratio16x10, 0, true, true, true}},
            {"no aspect entry keeps the old value", [](LaunchControls& c) { c.aspectIndex = -1; }, Ratio16x9,
                {1280, 720, 32, Ratio5x4, 0, true, true, true}},
            // Each switch's values over the rows differ from every other's, so a swap shows.
            {"8 samples, windowed, no vsync",
                [](LaunchControls& c) { c.samplingIndex = 3, c.fullscreen = false, c.vsync = false; }, Ratio4x3,
                {1280, 720, 32, Ratio4x3, 8, false, false, true}},
            {"windowed, no music", [](LaunchControls& c) { c.fullscreen = false, c.music = false; }, Ratio4x3,
                {1280, 720, 32, Ratio4x3, 0, false, true, false}},
            // A typed size selects its listed mode; a selection in the list wins over the field.
            {"typed size", [](LaunchControls& c) { c.resolutionIndex = -1, c.resolutionText = " 1024X768 "; }, Ratio4x3,
                {1024, 768, 32, Ratio4x3, 0, true, true, true}},
            {"list beats field", [](LaunchControls& c) { c.resolutionText = "1024x768"; }, Ratio16x9,
                {1280, 720, 32, Ratio16x9, 0, true, true, true}},
        }) {
        LaunchControls controls;
        controls.resolutionIndex = 1;
        edit(controls);
        LaunchSettings s = untouched(desktopAspect);
        ASSERT_TRUE(applyLaunchControls(kModes, controls, s)) << what;
        EXPECT_EQ(fields(s), expected) << what;
    }
}

TEST(LaunchMapping, WithoutAListedResolutionNothingIsWritten)
{
    const auto rejects = [](const std::vector<DisplayMode>& modes, int index, const std::string& text) {
        LaunchControls controls;
        controls.resolutionIndex = index;
        controls.resolutionText = text;
        LaunchSettings s = untouched();
        return !applyLaunchControls(modes, controls, s) && fields(s) == fields(untouched());
    };
    EXPECT_TRUE(rejects({}, 0, "1920x1080"));
    EXPECT_TRUE(rejects(kModes, 3, ""));
    for (const char* text :
        {"", "800x600", "1024", "x768", "1024x768x", "1024 x 768", "-1024x768", "0x0", "99999999999x768", "1024×768"})
        EXPECT_TRUE(rejects(kModes, -1, text)) << text;
}

TEST(DialogToolkit, KeepsTheDecimalPointUnderACommaLocale)
{
    // scripts/common.sh generates it.
    const std::string locale = "de_DE.UTF-8";
    if (!std::setlocale(LC_ALL, locale.c_str()))
        GTEST_SKIP() << "no German locale installed";
    std::setlocale(LC_ALL, "C");
    setenv("LC_ALL", locale.c_str(), 1);

    std::string error;
    EXPECT_TRUE(initDialogToolkit(error) || !error.empty());
    // The toolkit did adopt the environment for everything but numbers.
    EXPECT_EQ(std::string(std::setlocale(LC_CTYPE, nullptr)), locale);
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", 16.667);
    EXPECT_STREQ(text, "16.667");
    EXPECT_DOUBLE_EQ(std::strtod("2.5", nullptr), 2.5);
}

}  // namespace
