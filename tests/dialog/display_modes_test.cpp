// The resolution list and the desktop aspect classification.
#include "app/display_modes.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdlib>

namespace {

std::vector<std::string> labels(const std::vector<DisplayMode>& modes) {
  std::vector<std::string> out;
  for (const DisplayMode& mode : modes) out.push_back(modeLabel(mode));
  return out;
}

TEST(DistinctModes, KeepsFirstThirtyTwoBitModePerResolutionInOrder) {
  const std::vector<DisplayMode> enumerated = {
      {1920, 1080, 16, 60},  {1920, 1080, 32, 60}, {1920, 1080, 32, 144}, {1280, 720, 32, 75},
      {800, 600, 16, 60},    {1280, 720, 32, 60},  {1080, 1920, 32, 60},  {1024, 768, 8, 60},
      {1024, 768, 32, 60},
  };
  const std::vector<DisplayMode> kept = distinctModes(enumerated);
  EXPECT_EQ(labels(kept), (std::vector<std::string>{"1920x1080", "1280x720", "1080x1920", "1024x768"}));
  ASSERT_EQ(kept.size(), 4u);
  EXPECT_EQ(kept[0].refreshRate, 60);   // the first enumerated, not the fastest
  EXPECT_EQ(kept[1].refreshRate, 75);
  EXPECT_EQ(kept[0].bitsPerPixel, 32);
}

TEST(DistinctModes, NoThirtyTwoBitModeGivesAnEmptyList) {
  EXPECT_TRUE(distinctModes({}).empty());
  EXPECT_TRUE(distinctModes({{640, 480, 16, 60}, {640, 480, 24, 60}}).empty());
}

struct AspectCase {
  uint32_t width, height;
  int code;
};

TEST(DetectAspect, ClassifiesCommonDesktops) {
  const AspectCase cases[] = {
      {1920, 1080, kAspect16x9},  {1280, 720, kAspect16x9},   {3840, 2160, kAspect16x9},
      {1920, 1200, kAspect16x10}, {1680, 1050, kAspect16x10}, {1280, 800, kAspect16x10},
      {1280, 1024, kAspect5x4},   {1024, 768, kAspect4x3},    {1600, 1200, kAspect4x3},
      {640, 480, kAspect4x3},     {1366, 768, kAspectOther},  {1360, 768, kAspectOther},
      {3440, 1440, kAspectOther}, {2560, 1080, kAspectOther}, {1080, 1920, kAspectOther},
      {0, 0, kAspectOther},       {1920, 0, kAspectOther},    {0, 1080, kAspectOther},
  };
  for (const AspectCase& c : cases) {
    EXPECT_EQ(detectAspect(c.width, c.height), c.code) << c.width << "x" << c.height;
  }
}

TEST(DetectAspect, ComparesInSinglePrecision) {
  // 16777217 rounds to 2^24 as a float, so the ratio is exactly 4/3 there
  // although the true ratio is not.
  EXPECT_EQ(detectAspect(16777217u, 12582912u), kAspect4x3);
  // One pixel off a 16:9 size is no longer a match.
  EXPECT_EQ(detectAspect(1921, 1080), kAspectOther);
  EXPECT_EQ(detectAspect(4000001, 3000000), kAspectOther);
}

// Needs a display: SDL's list must contain the desktop's own mode, counted as
// a 32-bit mode, or the dialog could never preselect it.
TEST(EnumerateDisplayModes, ListsTheDesktopModeAsThirtyTwoBit) {
  if (std::getenv("DISPLAY") == nullptr) GTEST_SKIP() << "no display";
  const DisplayMode desktop = desktopMode();
  ASSERT_GT(desktop.width, 0);
  EXPECT_EQ(desktop.bitsPerPixel, 32);
  const std::vector<DisplayMode> modes = distinctModes(enumerateDisplayModes());
  EXPECT_GE(findMode(modes, desktop.width, desktop.height), 0);
  // The queries hand the video subsystem back as they found it.
  EXPECT_EQ(SDL_WasInit(SDL_INIT_VIDEO), 0u);
}

// Sets an environment variable for one scope and puts the old value back.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value) : name_(name) {
    const char* old = std::getenv(name);
    if (old) saved_ = old;
    hadValue_ = old != nullptr;
    if (value) {
      setenv(name, value, 1);
    } else {
      unsetenv(name);
    }
  }
  ~ScopedEnv() {
    if (hadValue_) {
      setenv(name_, saved_.c_str(), 1);
    } else {
      unsetenv(name_);
    }
  }

 private:
  const char* name_;
  std::string saved_;
  bool hadValue_ = false;
};

// SDL would fall back to its off-screen driver and invent a 1024x768 desktop.
TEST(EnumerateDisplayModes, NoReachableDisplayGivesNoModes) {
  ScopedEnv noWayland("WAYLAND_DISPLAY", nullptr);
  ScopedEnv noDriver("SDL_VIDEODRIVER", nullptr);
  for (const char* display : {static_cast<const char*>(nullptr), ":917"}) {
    ScopedEnv x("DISPLAY", display);
    EXPECT_TRUE(enumerateDisplayModes().empty()) << (display ? display : "unset");
    EXPECT_EQ(desktopMode().width, 0) << (display ? display : "unset");
  }
}

}  // namespace
