// The plus field: headings, sprites turned by the spectrum, and emitter lists.
#include "scene/plus_field.h"

#include <gtest/gtest.h>

#include <array>
#include <limits>
#include <tuple>

#include "show_random_helpers.h"

TEST(PlusField, AxisHeadingQuartersIncludeTheirUpperBoundAndSpectrumBinsClamp)
{
    const std::array<std::array<int, 3>, 6> headings
        = {{{0, -1, 0}, {8192, -1, 0}, {8193, 0, -1}, {16384, 0, -1}, {24576, 1, 0}, {24577, 0, 1}}};
    for (const auto& [draw, x, y] : headings) {
        ShowRandom random = randomYielding(draw);
        const Vec4 heading = randomAxisHeading(random);
        EXPECT_EQ(std::pair(heading.x, heading.y), std::pair(float(x), float(y))) << draw;
    }
    const std::pair<float, int> bins[] = {{-30.0f, 0}, {30.0f, 64}, {29.9f, 63},
        {std::numeric_limits<float>::infinity(), 64}, {std::numeric_limits<float>::quiet_NaN(), 0}};
    for (const auto& [x, bin] : bins)
        EXPECT_EQ(plusSpectrumBin(x), bin) << x;
}

TEST(PlusField, SpritesTurnOverOnLoudBinsAndScatterDropsTheLiftButNotTheSize)
{
    PlusField field;
    buildPlusField(field);
    ShowRandom random = showRandomAfter(0);
    fillPlusParticles(field, random);
    std::array<float, 1024> spectrum {};
    spectrum[64] = 0.05f;
    spectrum[0] = 0.5f;  // sin(5) < -0.575: the sprite turns over
    field.emitter.positions[0] = Vec4 {30.0f, 2.0f, -6.0f, 1.0f};
    field.emitter.positions[1] = Vec4 {-30.0f, 2.0f, -6.0f, 1.0f};

    const PlusSprite right = plusSprite(field, 0, 0.0f, spectrum.data());
    EXPECT_GT(right.translate.y, 4.5f);
    EXPECT_EQ(right.angle, 0.0f) << "no spin before the scatter starts";
    EXPECT_LT(plusSprite(field, 1, 0.0f, spectrum.data()).half, 0.0f);
    EXPECT_FLOAT_EQ(plusSprite(field, 0, 0.0f, nullptr).half, 1.15f * 0.35f);
    const PlusSprite scattered = plusSprite(field, 0, 1.0f, spectrum.data());
    EXPECT_EQ(std::tuple(scattered.translate.y, scattered.half, scattered.angle),
        std::tuple(4.5f, right.half, field.spinAngle[0]));
}

TEST(PlusField, InconsistentEmitterListsNeverReachPastTheParticles)
{
    PlusField field;
    field.emitter = makeTrailEmitter(
        {{0, 0, 0, 1}, {1, 0, 0, 1}, {2, 0, 0, 1}}, {{-1, 0, 0, 1}, {-1, 0, 0, 1}, {-1, 0, 0, 1}}, 500, 10, 0.5f);
    EXPECT_EQ(field.emitter.positions.size(), 498u);
    EXPECT_EQ(plusDrawCount(field), 498);
    field.emitter = makeTrailEmitter({}, {}, 500, 10, 0.5f);
    EXPECT_EQ(plusDrawCount(field), 0);
    ShowRandom random;
    advancePlusField(field, 1.0f, 1.0f, random);
}
