// Beat flashes and their decay, the camera sway, and the beat flag test.
#include <gtest/gtest.h>

#include <cmath>

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

TEST(FrameValuesTest, BeatFrameAlreadyDecaysByItsOwnStep)
{
    for (float s : {0.002f, 0.05f, 0.1f, 0.5f, 2.0f}) {
        FrameValues v = settled();
        advanceFrameValues(v, 60000, s, true);
        EXPECT_FLOAT_EQ(v.lightLevel, std::min(1.0f, 0.75f + 0.5f * s)) << s;
        EXPECT_FLOAT_EQ(v.bleedStrength[0], std::max(0.0f, 0.05f - 0.5f * s)) << s;
        EXPECT_FLOAT_EQ(v.beatPulse, std::max(0.0f, 0.5f - 0.5f * s)) << s;
    }
    // A frame of 50 ms or more shows no bleed at all.
    FrameValues v = settled();
    advanceFrameValues(v, 60000, 0.1f, true);
    for (float b : v.bleedStrength)
        EXPECT_EQ(b, 0.0f);
}

TEST(FrameValuesTest, BeatReplacesRatherThanAdds)
{
    FrameValues v = settled();
    advanceFrameValues(v, 60000, kStep, true);
    advanceFrameValues(v, 60016, kStep, true);
    EXPECT_FLOAT_EQ(v.lightLevel, 0.75f + 0.5f * kStep);
    EXPECT_FLOAT_EQ(v.beatPulse, 0.5f - 0.5f * kStep);
}

TEST(FrameValuesTest, ValuesStayInRangeAndRecoverWithoutBeats)
{
    FrameValues v = settled();
    advanceFrameValues(v, 60000, kStep, true);
    for (int i = 0; i < 100; ++i) {
        advanceFrameValues(v, 60000 + 16 * i, kStep, false);
        EXPECT_LE(v.lightLevel, 1.0f);
        EXPECT_GE(v.beatPulse, 0.0f);
        for (float b : v.bleedStrength)
            EXPECT_GE(b, 0.0f);
    }
    EXPECT_EQ(v.lightLevel, 1.0f);
    EXPECT_EQ(v.beatPulse, 0.0f);
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
    const float swing = static_cast<float>(std::sin(static_cast<double>(v.cameraSwayPhase)));
    EXPECT_EQ(v.cameraEye.x, swing * 0.5f + 5.0f);
    EXPECT_EQ(v.cameraEye.y, swing * 0.25f + 2.0f);
    EXPECT_EQ(v.cameraEye.z, -2.0f);
    EXPECT_EQ(v.cameraTarget.x, 2.0f);
    EXPECT_EQ(v.cameraTarget.y, 5.0f);
    EXPECT_EQ(v.cameraTarget.z, -12.0f);
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
