// The show's palette and the release of its generated data. Every generated
// value feeds the whole-show digest (tests/show/state_bits.h), so that is where
// a drifting generator, draw order or construction rule shows.
#include <gtest/gtest.h>

#include <tuple>

#include "show_random_helpers.h"

TEST(ShowState, PaletteAndLastGreetingStartAreExactAndDestroyReleasesTheElements)
{
    const std::unique_ptr<ShowState> built = buildShowState();
    ShowState& s = *built;
    EXPECT_EQ(s.greetingBanners.back().startMs, 107000u) << "a shift too small for the digest's frames";
    EXPECT_EQ(s.materialSet, 0);
    const float expected[3][3] = {{177, 68, 115}, {209, 187, 80}, {52, 134, 116}};
    for (int slot = 0; slot < 3; ++slot) {
        const Rgba c = paletteColour(s, slot);
        EXPECT_EQ(std::tuple(c.r, c.g, c.b, c.a),
            std::tuple(expected[slot][0] / 255.0f, expected[slot][1] / 255.0f, expected[slot][2] / 255.0f, 1.0f));
    }
    EXPECT_EQ(paletteColour(s, 3).a, 0.0f);
    destroyShowState(s);
    EXPECT_TRUE(s.plus.emitter.positions.empty());
    EXPECT_TRUE(s.greetingBanners.empty());
}
