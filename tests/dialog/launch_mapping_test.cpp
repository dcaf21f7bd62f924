// From the dialog's control states to the record's launch settings.
#include "app/launch_dialog.h"

#include <gtest/gtest.h>

namespace {

const std::vector<DisplayMode> kModes = {
    {1920, 1080, 32, 60}, {1280, 720, 32, 60}, {1024, 768, 32, 75}};

// Values no Launch would write, to see what was left alone.
LaunchSettings untouched() {
  LaunchSettings s;
  s.width = -7;
  s.height = -8;
  s.bitsPerPixel = -9;
  s.aspectMode = 2;
  s.samples = 4;
  s.fullscreen = false;
  s.vsync = false;
  s.musicEnabled = false;
  return s;
}

bool sameSettings(const LaunchSettings& a, const LaunchSettings& b) {
  return a.width == b.width && a.height == b.height && a.bitsPerPixel == b.bitsPerPixel &&
         a.aspectMode == b.aspectMode && a.samples == b.samples && a.fullscreen == b.fullscreen &&
         a.vsync == b.vsync && a.musicEnabled == b.musicEnabled;
}

TEST(LaunchMapping, DefaultControlsWriteTheSelectedModeAndDesktopAspect) {
  LaunchControls controls;
  controls.resolutionIndex = 1;
  LaunchSettings s = untouched();
  ASSERT_TRUE(applyLaunchControls(kModes, kAspect16x9, controls, s));
  EXPECT_EQ(s.width, 1280);
  EXPECT_EQ(s.height, 720);
  EXPECT_EQ(s.bitsPerPixel, 32);
  EXPECT_EQ(s.aspectMode, kAspect16x9);
  EXPECT_EQ(s.samples, 0);   // "None" in the multisampling list
  EXPECT_TRUE(s.fullscreen);
  EXPECT_TRUE(s.vsync);
  EXPECT_TRUE(s.musicEnabled);
}

TEST(LaunchMapping, AspectListEntriesMapToCodes) {
  LaunchControls controls;
  controls.resolutionIndex = 0;
  const int expected[] = {kAspectOther, kAspect4x3, kAspect5x4, kAspect16x9, kAspect16x10};
  for (int index = 0; index < 5; ++index) {
    controls.aspectIndex = index;
    LaunchSettings s = untouched();
    ASSERT_TRUE(applyLaunchControls(kModes, kAspectOther, controls, s));
    EXPECT_EQ(s.aspectMode, expected[index]) << "entry " << index;
  }
  // An explicit ratio wins over the desktop's.
  controls.aspectIndex = 4;
  LaunchSettings s = untouched();
  ASSERT_TRUE(applyLaunchControls(kModes, kAspect16x9, controls, s));
  EXPECT_EQ(s.aspectMode, kAspect16x10);
  // No aspect entry selected keeps the earlier value.
  controls.aspectIndex = -1;
  s = untouched();
  ASSERT_TRUE(applyLaunchControls(kModes, kAspect16x9, controls, s));
  EXPECT_EQ(s.aspectMode, 2);
}

TEST(LaunchMapping, EachBoxLandsInItsOwnField) {
  for (int cleared = 0; cleared < 3; ++cleared) {
    LaunchControls controls;
    controls.resolutionIndex = 2;
    controls.fullscreen = cleared != 0;
    controls.vsync = cleared != 1;
    controls.music = cleared != 2;
    LaunchSettings s = untouched();
    ASSERT_TRUE(applyLaunchControls(kModes, 0, controls, s));
    EXPECT_EQ(s.fullscreen, controls.fullscreen) << "cleared box " << cleared;
    EXPECT_EQ(s.vsync, controls.vsync) << "cleared box " << cleared;
    EXPECT_EQ(s.musicEnabled, controls.music) << "cleared box " << cleared;
  }
}

TEST(LaunchMapping, WithoutAListedResolutionNothingIsWritten) {
  const LaunchSettings before = untouched();
  const auto rejects = [&](const std::vector<DisplayMode>& modes, int index, const std::string& text) {
    LaunchControls controls;
    controls.resolutionIndex = index;
    controls.resolutionText = text;
    LaunchSettings s = before;
    const bool launched = applyLaunchControls(modes, kAspect16x9, controls, s);
    return !launched && sameSettings(s, before);
  };
  EXPECT_TRUE(rejects(kModes, -1, ""));
  EXPECT_TRUE(rejects({}, -1, ""));
  EXPECT_TRUE(rejects({}, 0, "1920x1080"));
  EXPECT_TRUE(rejects(kModes, 3, ""));
  EXPECT_TRUE(rejects(kModes, -1, "800x600"));        // well formed, but not listed
  for (const char* text : {"1024", "1024x", "x768", "1024x768x", "1024 x 768", "10a4x768", "-1024x768",
                           "0x0", "1024x768p", "99999999999x768", "1024×768"}) {
    EXPECT_TRUE(rejects(kModes, -1, text)) << text;
  }
}

TEST(LaunchMapping, TypedSizeOfAListedModeSelectsIt) {
  LaunchControls controls;
  controls.resolutionText = "1024x768";
  EXPECT_EQ(chosenModeIndex(kModes, controls), 2);
  controls.resolutionText = " 1280X720 ";
  EXPECT_EQ(chosenModeIndex(kModes, controls), 1);

  LaunchSettings s = untouched();
  controls.resolutionText = "1920x1080";
  ASSERT_TRUE(applyLaunchControls(kModes, 0, controls, s));
  EXPECT_EQ(s.width, 1920);
  EXPECT_EQ(s.height, 1080);
  EXPECT_EQ(s.bitsPerPixel, 32);

  // A selection made in the list wins over whatever the field shows.
  controls.resolutionIndex = 1;
  controls.resolutionText = "1024x768";
  EXPECT_EQ(chosenModeIndex(kModes, controls), 1);
}

}  // namespace
