// Beat flashes and their decay, the camera sway, and the beat flag test.
#include <gtest/gtest.h>

#include <algorithm>

#include "show/frame_driver.h"
#include "show/frame_values.h"

namespace {

// A frame of 16 ms: s = 0.032.
constexpr float kStep = 0.032f;

FrameValues settled()
{
    FrameValues v;
    advanceFrameValues(v, 0, 4.0f, false);  // let the start-up pulse run out
    return v;
}

TEST(FrameValuesTest, BeatsFlashOnlyInsideTheWindowBothEndsIncluded)
{
    const struct {
        uint32_t t;
        bool flashes;
    } cases[] = {{19999, false}, {20000, true}, {122000, true}, {122001, false}};
    for (const auto& c : cases) {
        FrameValues v = settled();
        advanceFrameValues(v, c.t, kStep, true);
        if (c.flashes) {
            EXPECT_FLOAT_EQ(v.lightLevel, 0.75f + 0.5f * kStep) << c.t;
            EXPECT_FLOAT_EQ(v.beatPulse, 0.5f - 0.5f * kStep) << c.t;
            EXPECT_FLOAT_EQ(v.bleedStrength[0], 0.05f - 0.5f * kStep) << c.t;
            EXPECT_FLOAT_EQ(v.bleedStrength[1], 0.025f - 0.5f * kStep) << c.t;
            EXPECT_EQ(v.bleedStrength[2], 0.0f) << c.t;  // 0.0125 is gone within 12.5 ms
        } else {
            EXPECT_EQ(v.lightLevel, 1.0f) << c.t;
            EXPECT_EQ(v.beatPulse, 0.0f) << c.t;
            for (float b : v.bleedStrength)
                EXPECT_EQ(b, 0.0f) << c.t;
        }
    }
}

TEST(FrameValuesTest, ABeatReplacesTheFlashAndDecaysByItsOwnFrame)
{
    for (float s : {0.002f, 0.1f, 2.0f}) {
        FrameValues v = settled();
        advanceFrameValues(v, 60000, s, true);
        advanceFrameValues(v, 60016, s, true);
        EXPECT_FLOAT_EQ(v.lightLevel, std::min(1.0f, 0.75f + 0.5f * s)) << s;
        EXPECT_FLOAT_EQ(v.beatPulse, std::max(0.0f, 0.5f - 0.5f * s)) << s;
        EXPECT_EQ(v.bleedStrength[0], std::max(0.0f, 0.05f - 0.5f * s)) << s;
    }
}

TEST(FrameValuesTest, FirstFrameStartsWithTheFullPulseAndUnflashedLight)
{
    FrameValues v;
    advanceFrameValues(v, 0, 0.002f, false);
    EXPECT_FLOAT_EQ(v.beatPulse, 0.999f);
    EXPECT_EQ(v.lightLevel, 1.0f);
}

TEST(FrameValuesTest, CameraSwaysOneRadianPerSecond)
{
    FrameValues v;
    for (int i = 0; i < 10; ++i)
        advanceFrameValues(v, 100 * i, 0.2f, false);  // ten frames of 100 ms
    EXPECT_NEAR(v.cameraSwayPhase, 1.0f, 1e-5f);
}

TEST(FrameValuesTest, AnyRaisedBandIsABeat)
{
    BeatDetector beats;
    EXPECT_FALSE(anyBandBeat(beats));
    const float loud[1024] = {1.0f};
    beats.analyse(loud);  // the first non-silent frame compares against nothing
    EXPECT_TRUE(anyBandBeat(beats));
    beats.bandCount = 0;
    EXPECT_FALSE(anyBandBeat(beats));
}

}  // namespace
