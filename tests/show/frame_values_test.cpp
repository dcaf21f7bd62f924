// The beat flash window and the beat flag test; the values themselves feed the
// whole-show digests.
#include <gtest/gtest.h>

#include "show/frame_driver.h"
#include "show/frame_values.h"

TEST(FrameValues, BeatsFlashOnlyInsideTheWindowBothEndsIncluded)
{
    for (const auto& [t, flashes] : {std::pair(19999u, false), {20000u, true}, {122000u, true}, {122001u, false}}) {
        FrameValues v;
        advanceFrameValues(v, 0, 4.0f, false);  // let the start-up pulse run out
        advanceFrameValues(v, t, 0.032f, true);
        EXPECT_EQ(v.lightLevel < 1.0f, flashes) << t;
        EXPECT_EQ(v.beatPulse > 0.0f, flashes) << t;
        EXPECT_EQ(v.bleedStrength[0] > 0.0f, flashes) << t;
    }
}

TEST(FrameValues, AnyRaisedBandIsABeat)
{
    BeatDetector beats;
    const float loud[1024] = {1.0f};
    beats.analyse(loud);  // the first non-silent frame compares against nothing
    EXPECT_TRUE(anyBandBeat(beats));
    beats.bandCount = 0;
    EXPECT_FALSE(anyBandBeat(beats));
}
