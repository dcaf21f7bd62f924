#include "scene/square_swarm.h"

#include <gtest/gtest.h>

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
