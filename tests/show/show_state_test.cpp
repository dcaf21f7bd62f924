// The show's generated data: the generator, the palette and the draw order of
// construction decide every position, so these values must never drift.
#include <gtest/gtest.h>

#include "audio/music_player.h"
#include "gfx/program_registry.h"
#include "gfx/texture_registry.h"
#include "scene/show_state.h"

namespace {

struct Built {
    MusicPlayer music;
    ProgramRegistry programs;
    TextureRegistry textures;
    std::unique_ptr<ShowState> state = buildShowState(music, programs, textures);
};

TEST(ShowRandomTest, FirstDrawsAfterTheShowSeed)
{
    ShowRandom random;
    random.seed(kShowSeed);
    const int expected[5] = {7248, 5919, 6382, 22845, 12750};
    for (int value : expected)
        EXPECT_EQ(random.next(), value);
}

TEST(ShowStateTest, ConstructionDrawsExactly43900ValuesInOrder)
{
    Built built;
    EXPECT_EQ(built.state->random.state(), 220658784u);

    ShowRandom replay;
    replay.seed(kShowSeed);
    for (int i = 0; i < 43900; ++i)
        replay.next();  // 500 x 5 particles, 200 x 7 boxes, 10 x 800 x 5 cells
    EXPECT_EQ(replay.state(), built.state->random.state());
}

TEST(ShowStateTest, FirstParticleBoxAndCellFollowTheConstructionOrder)
{
    Built built;
    const PlusField& plus = built.state->plus;
    EXPECT_FLOAT_EQ(plus.driftDirection[0].x, 0.22119140625f);
    EXPECT_FLOAT_EQ(plus.driftDirection[0].z, 0.19476318359375f);
    EXPECT_FLOAT_EQ(plus.driftRate[0], 0.184293523f);
    EXPECT_FLOAT_EQ(plus.spinAngle[0], 97.2747803f);

    const SquareSwarm& swarm = built.state->swarm;
    EXPECT_NEAR(swarm.ringPosition[0].x, 4.888368f, 1e-5f);
    EXPECT_NEAR(swarm.ringPosition[0].y, -11.162916f, 1e-5f);
    EXPECT_FLOAT_EQ(swarm.spinAngle[0], 1.4074274f);
    EXPECT_FLOAT_EQ(swarm.halfSize[0], 0.1815323f);

    const auto& banners = built.state->greetingBanners;
    ASSERT_EQ(banners.size(), 10u);
    EXPECT_EQ(banners[0].textureKey, "TORVALE");
    EXPECT_EQ(banners[9].startMs, 107000u);
    EXPECT_FLOAT_EQ(banners[0].cellDirections[0].x, 0.734466553f);
    EXPECT_FLOAT_EQ(banners[0].cellSpeeds[0], 1.30706024f);
    EXPECT_FLOAT_EQ(banners[0].cellTilts[0], 0.758745253f);
}

TEST(ShowStateTest, PaletteSlotsAreExactEightBitFractions)
{
    Built built;
    const ShowState& s = *built.state;
    EXPECT_EQ(s.materialSet, 0);
    const float expected[3][3] = {{177, 68, 115}, {209, 187, 80}, {52, 134, 116}};
    for (int slot = 0; slot < 3; ++slot) {
        const Rgba c = paletteColour(s, slot);
        EXPECT_EQ(c.r, expected[slot][0] / 255.0f);
        EXPECT_EQ(c.g, expected[slot][1] / 255.0f);
        EXPECT_EQ(c.b, expected[slot][2] / 255.0f);
        EXPECT_EQ(c.a, 1.0f);
    }
    EXPECT_EQ(paletteColour(s, 3).a, 0.0f);
    // Without render targets construction still completes, leaving the blur targets null.
    for (const RenderTarget* target : s.assets.blurTargets)
        EXPECT_EQ(target, nullptr);
}

TEST(ShowStateTest, DestroyReleasesTheElementData)
{
    Built built;
    destroyShowState(*built.state);
    EXPECT_TRUE(built.state->plus.emitter.positions.empty());
    EXPECT_TRUE(built.state->greetingBanners.empty());
    EXPECT_EQ(plusDrawCount(built.state->plus), 0);
}

}  // namespace
