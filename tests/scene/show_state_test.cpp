// The show's generated data: the generator, the palette and the draw order of
// construction decide every position, so these values must never drift.
#include <gtest/gtest.h>

#include <tuple>

#include "show_random_helpers.h"

TEST(ShowState, SeedDrawsConstructionCountFirstElementValuesAndPaletteAreExactAndDestroyReleasesThem)
{
    ShowRandom random = showRandomAfter(0);
    for (int value : {7248, 5919, 6382, 22845, 12750})
        EXPECT_EQ(random.next(), value);
    // 500 x 5 particles, 200 x 7 boxes, 10 x 800 x 5 cells.
    const std::unique_ptr<ShowState> built = buildShowState();
    ShowState& s = *built;
    EXPECT_EQ(s.random.state(), 220658784u);
    EXPECT_EQ(showRandomAfter(43900).state(), s.random.state());

    EXPECT_FLOAT_EQ(s.plus.driftDirection[0].x, 0.22119140625f);
    EXPECT_FLOAT_EQ(s.plus.driftDirection[0].z, 0.19476318359375f);
    EXPECT_FLOAT_EQ(s.plus.driftRate[0], 0.184293523f);
    EXPECT_FLOAT_EQ(s.plus.spinAngle[0], 97.2747803f);

    // Box 0 comes from draws 2501 to 2507, exactly.
    const SquareSwarm& swarm = s.swarm;
    const Vec4& ring = swarm.ringPosition[0];
    EXPECT_EQ(std::tuple(ring.x, ring.y, ring.z, ring.w),
        std::tuple(4.888368129730225f, -11.16291618347168f, 1.26068115234375f, 1.0f));
    EXPECT_EQ(std::tuple(swarm.spinRate[0], swarm.spinAngle[0], swarm.halfSize[0]),
        std::tuple(0.6687469482421875f, 1.407427430152893f, 0.18153229355812073f));

    const auto& banners = s.greetingBanners;
    ASSERT_EQ(banners.size(), 10u);
    EXPECT_EQ(banners[0].image, ImageId::Torvale);
    EXPECT_EQ(banners[9].startMs, 107000u);
    EXPECT_FLOAT_EQ(banners[0].cellDirections[0].x, 0.734466553f);
    EXPECT_FLOAT_EQ(banners[0].cellSpeeds[0], 1.30706024f);
    EXPECT_FLOAT_EQ(banners[0].cellTilts[0], 0.758745253f);

    // The palette slots are exact eight-bit fractions.
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
