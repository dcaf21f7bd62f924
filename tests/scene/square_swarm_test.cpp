#include "scene/square_swarm.h"

#include <gtest/gtest.h>

#include <cmath>

#include "show_random_helpers.h"

namespace {

// The swarm is built after the plus field's 2,500 draws.
SquareSwarm builtSwarm()
{
    SquareSwarm swarm;
    ShowRandom random = showRandomAfter(2500);
    buildSquareSwarm(swarm, random);
    return swarm;
}

}  // namespace

TEST(SquareSwarm, BoxZeroComesFromDraws2501To2507)
{
    SquareSwarm swarm;
    ShowRandom random = showRandomAfter(2500);
    buildSquareSwarm(swarm, random);

    EXPECT_EQ(swarm.ringPosition[0].x, 4.888368129730225f);
    EXPECT_EQ(swarm.ringPosition[0].y, -11.16291618347168f);
    EXPECT_EQ(swarm.ringPosition[0].z, 1.26068115234375f);
    EXPECT_EQ(swarm.ringPosition[0].w, 1.0f);
    EXPECT_EQ(swarm.spinRate[0], 0.6687469482421875f);
    EXPECT_EQ(swarm.spinAngle[0], 1.407427430152893f);
    EXPECT_EQ(swarm.halfSize[0], 0.18153229355812073f);
    EXPECT_EQ(random.state(), showRandomAfter(3900).state());
}

TEST(SquareSwarm, EveryBoxStartsNearTheRingAndBarelyTurned)
{
    const SquareSwarm swarm = builtSwarm();
    for (int j = 0; j < kSwarmBoxCount; ++j) {
        const Vec4& p = swarm.ringPosition[j];
        EXPECT_NEAR(std::hypot(p.x, p.y), 12.0f, 1.07f) << j;
        EXPECT_GE(p.z, -1.5f);
        EXPECT_LT(p.z, 1.5f);
        EXPECT_GE(swarm.spinRate[j], 0.5f);
        EXPECT_LT(swarm.spinRate[j], 1.0f);
        EXPECT_GE(swarm.spinAngle[j], 0.0f);
        EXPECT_LT(swarm.spinAngle[j], 6.2832f);
        EXPECT_GE(swarm.halfSize[j], 0.15f);
        EXPECT_LT(swarm.halfSize[j], 0.4f);
    }
}

// At step 0.021 an all-single-precision advance would land one bit lower
// (1.6883010864); the double-precision multiply-add gives 1.6883012056.
TEST(SquareSwarm, BoxZeroAdvancesOnceInTheShadowPassAndTwiceByTheMainPass)
{
    SquareSwarm swarm = builtSwarm();
    advanceSquareSwarm(swarm, 0.021f);
    EXPECT_EQ(swarm.spinAngle[0], 1.6883012056350708f);
    advanceSquareSwarm(swarm, 0.021f);
    EXPECT_EQ(swarm.spinAngle[0], 1.9691749811172485f);
}
