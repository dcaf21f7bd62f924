// What the mode watchdog does once the show is gone: only a display still in
// the show's size is the show's doing and gets the desktop's mode back.
#include <gtest/gtest.h>

#include "desktop/mode_watchdog.h"

TEST(ModeWatchdog, RestoresOnlyTheShowsMode)
{
    const CrtcMode desktop {0x42, 1920, 1080};
    for (const auto& [what, shownWidth, shownHeight, now, expected] :
        std::vector<std::tuple<const char*, int, int, CrtcMode, RestoreChoice>> {
            {"still in the show's mode", 800, 600, {0x51, 800, 600}, RestoreChoice::Restore},
            {"the show's size at another rate than the desktop's", 1920, 1080, {0x47, 1920, 1080},
                RestoreChoice::Restore},
            {"the show already put the desktop back", 800, 600, {0x42, 1920, 1080}, RestoreChoice::AlreadyBack},
            {"the show chose the desktop's own mode", 1920, 1080, {0x42, 1920, 1080}, RestoreChoice::AlreadyBack},
            {"the user chose another mode", 800, 600, {0x4c, 1280, 720}, RestoreChoice::ChangedByUser},
            {"the user switched the output off", 800, 600, {0, 0, 0}, RestoreChoice::ChangedByUser},
        }) {
        EXPECT_EQ(chooseRestore(desktop, shownWidth, shownHeight, now), expected) << what;
    }
}
