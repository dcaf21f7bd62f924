// The release of the show's generated data. Every generated value and the
// palette feed the whole-show digest (tests/show/state_bits.h), so that is where
// a drifting generator, palette, draw order or construction rule shows.
#include <gtest/gtest.h>

#include "show_random_helpers.h"

TEST(ShowState, LastGreetingStartIsExactAndDestroyReleasesTheElements)
{
    const std::unique_ptr<ShowState> built = buildShowState();
    ShowState& s = *built;
    EXPECT_EQ(s.greetingBanners.back().startMs, 107000u) << "a shift too small for the digest's frames";
    destroyShowState(s);
    EXPECT_TRUE(s.plus.emitter.positions.empty());
    EXPECT_TRUE(s.greetingBanners.empty());
}
