// Light and material values, and the light's shadow-pass matrices.
#include <gtest/gtest.h>

#include "scene/material.h"
#include "show/lighting.h"

namespace {

TEST(LightingTest, MaterialsAtZeroAndFullAndTheLightAtABeatDip)
{
    const MaterialValues off = materialFor({0.7f, 0.3f, 0.2f, 1.0f}, 0.0f);
    for (const auto* values : {&off.diffuse, &off.ambient, &off.specular})
        for (float v : *values)
            EXPECT_EQ(v, 0.0f);

    const Rgba c{209 / 255.0f, 187 / 255.0f, 80 / 255.0f, 1.0f};
    const MaterialValues full = materialFor(c, 1.0f);
    EXPECT_EQ(full.diffuse, (std::array<float, 4>{c.r, c.g, c.b, 1.0f}));
    EXPECT_FLOAT_EQ(full.ambient[1], 0.85f * c.g);
    EXPECT_FLOAT_EQ(full.specular[2], 1.1f * c.b);
    EXPECT_EQ(full.specular[3], 1.0f);

    const LightValues l = lightFor(0.75f);
    EXPECT_FLOAT_EQ(l.ambient[0], 0.375f);
    EXPECT_FLOAT_EQ(l.diffuse[1], 0.5625f);
    EXPECT_FLOAT_EQ(l.specular[2], 0.6f);
    EXPECT_EQ(l.ambient[3], 1.0f);
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
