// Light and material values, and the light's shadow-pass matrices.
#include <gtest/gtest.h>

#include "show/lighting.h"

namespace {

TEST(LightingTest, MaterialAtLevelZeroIsInvisible)
{
    const MaterialValues m = materialFor({0.7f, 0.3f, 0.2f, 1.0f}, 0.0f);
    for (const auto* values : {&m.diffuse, &m.ambient, &m.specular})
        for (float v : *values)
            EXPECT_EQ(v, 0.0f);
    EXPECT_EQ(m.shininess, 128.0f);
}

TEST(LightingTest, MaterialAtFullLevelScalesTheColour)
{
    const Rgba c{209 / 255.0f, 187 / 255.0f, 80 / 255.0f, 1.0f};
    const MaterialValues m = materialFor(c, 1.0f);
    const float rgb[3] = {c.r, c.g, c.b};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(m.diffuse[i], rgb[i]);
        EXPECT_FLOAT_EQ(m.ambient[i], 0.85f * rgb[i]);
        EXPECT_FLOAT_EQ(m.specular[i], 1.1f * rgb[i]);
    }
    EXPECT_EQ(m.diffuse[3], 1.0f);
    EXPECT_EQ(m.ambient[3], 1.0f);
    EXPECT_EQ(m.specular[3], 1.0f);
}

TEST(LightingTest, BeatDipScalesTheLightColours)
{
    const LightValues l = lightFor(0.75f);
    for (int i = 0; i < 3; ++i) {
        EXPECT_FLOAT_EQ(l.ambient[i], 0.375f);
        EXPECT_FLOAT_EQ(l.diffuse[i], 0.5625f);
        EXPECT_FLOAT_EQ(l.specular[i], 0.6f);
    }
    EXPECT_EQ(l.ambient[3], 1.0f);
    EXPECT_EQ(l.position, (std::array<float, 4>{-4.0f, 5.0f, -6.0f, 1.0f}));
    EXPECT_FLOAT_EQ(l.constantAttenuation, 0.01f);
    EXPECT_FLOAT_EQ(l.linearAttenuation, 0.0025f);
    EXPECT_FLOAT_EQ(l.quadraticAttenuation, 0.005f);
}

TEST(LightingTest, LightProjectionViewFromTheConstants)
{
    const LightMatrices m = lightMatricesFromConstants();
    // A pure translation by -eye: the light looks straight down -z.
    const Matrix4 view = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 4, -5, 0, 1};
    for (int i = 0; i < 16; ++i)
        EXPECT_FLOAT_EQ(m.view[i], view[i]) << i;
    const float depth = -2.0f / 99.9f;
    const float offset = -100.1f / 99.9f;
    const Matrix4 expected = {0.05f, 0, 0, 0, 0, 0.05f, 0, 0, 0, 0, depth, 0, 0.2f, -0.25f, offset, 1};
    for (int i = 0; i < 16; ++i)
        EXPECT_NEAR(m.projectionView[i], expected[i], 1e-6f) << i;
}

}  // namespace
