#include "scene/plus_field.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <limits>

#include "show_random_helpers.h"

namespace {

PlusField builtField()
{
    PlusField field;
    buildPlusField(field);
    ShowRandom random = showRandomAfter(0);
    fillPlusParticles(field, random);
    return field;
}

int emitterOf(int particle) { return particle / 125; }

}  // namespace

TEST(PlusField, FirstParticleComesFromTheFirstFiveDraws)
{
    PlusField field;
    buildPlusField(field);
    ShowRandom random = showRandomAfter(0);
    fillPlusParticles(field, random);

    EXPECT_EQ(field.driftDirection[0].x, 0.22119140625f);
    EXPECT_EQ(field.driftDirection[0].y, 0.180633544921875f);
    EXPECT_EQ(field.driftDirection[0].z, 0.19476318359375f);
    EXPECT_EQ(field.driftDirection[0].w, 0.0f);
    EXPECT_EQ(field.driftRate[0], 0.184293523f);
    EXPECT_EQ(field.spinAngle[0], 97.2747803f);
    EXPECT_EQ(random.state(), showRandomAfter(2500).state());
}

TEST(PlusField, EmittersStartAsFourClumpsHeadingDownX)
{
    PlusField field;
    buildPlusField(field);
    const TrailEmitter& em = field.emitter;
    ASSERT_EQ(em.positions.size(), 500u);
    EXPECT_EQ(em.particlesPerEmitter, 125);
    for (int i : {0, 124, 125, 499}) {
        EXPECT_EQ(em.positions[i].x, 24.0f - emitterOf(i)) << i;
        EXPECT_EQ(em.positions[i].y, 3.0f - emitterOf(i)) << i;
    }
    EXPECT_EQ(em.nextDrop[3], 375);
}

TEST(PlusField, RidingParticlesMoveAlongTheHeadingAndLaidOnesStay)
{
    PlusField field = builtField();
    ShowRandom random = showRandomAfter(0);
    TrailEmitter& em = field.emitter;

    advanceTrailEmitter(em, 0.3f, random);
    EXPECT_EQ(em.positions[0].x, 24.0f + (-1.0f * 0.3f) * 1.5f);
    EXPECT_EQ(em.positions[499].x, 21.0f + (-1.0f * 0.3f) * 1.5f);
    EXPECT_EQ(em.positions[0].y, 3.0f);
    EXPECT_EQ(em.nextDrop[0], 0);

    advanceTrailEmitter(em, 0.3f, random);  // 0.6 accumulated: particle 0 is laid
    const float laidX = em.positions[0].x;
    EXPECT_EQ(em.nextDrop[0], 1);
    EXPECT_EQ(em.dropTimer[0], 0.0f) << "the overshoot over the interval is discarded";
    EXPECT_EQ(em.dropCount[0], 1);

    advanceTrailEmitter(em, 0.3f, random);
    EXPECT_EQ(em.positions[0].x, laidX);
    EXPECT_LT(em.positions[1].x, laidX);
    EXPECT_NEAR(laidX - em.positions[1].x, 0.45f, 1e-5f);
}

TEST(PlusField, AHugeStepLaysOneParticlePerEmitterPerCall)
{
    PlusField field = builtField();
    ShowRandom random = showRandomAfter(0);
    advanceTrailEmitter(field.emitter, 40.0f, random);
    for (int e = 0; e < 4; ++e) {
        EXPECT_EQ(field.emitter.nextDrop[e], e * 125 + 1);
        EXPECT_EQ(field.emitter.dropTimer[e], 0.0f);
    }
}

TEST(PlusField, EmittersExhaustAfter125DropsWithOneDrawEach)
{
    PlusField field = builtField();
    TrailEmitter& em = field.emitter;
    ShowRandom random = showRandomAfter(43900);
    const uint32_t before = random.state();

    for (int call = 0; call < 124; ++call)
        advanceTrailEmitter(em, 0.5f, random);
    EXPECT_EQ(random.state(), before) << "no heading is drawn before the last drop";
    EXPECT_EQ(em.nextDrop[0], 124);

    advanceTrailEmitter(em, 0.5f, random);
    ShowRandom expected = showRandomAfter(43900);
    for (int e = 0; e < 4; ++e) {
        EXPECT_EQ(em.nextDrop[e], (e + 1) * 125);
        EXPECT_EQ(em.dropCount[e], 0);
        const Vec4 heading = randomAxisHeading(expected);
        EXPECT_EQ(em.headings[e].x, heading.x);
        EXPECT_EQ(em.headings[e].y, heading.y);
    }
    EXPECT_EQ(random.state(), expected.state());

    const std::vector<Vec4> laid = em.positions;
    advanceTrailEmitter(em, 0.5f, random);
    EXPECT_EQ(random.state(), expected.state()) << "an exhausted emitter draws nothing";
    for (int i = 0; i < 500; ++i)
        EXPECT_EQ(em.positions[i].x, laid[i].x);
    EXPECT_EQ(em.dropTimer[0], 0.0f);
}

TEST(PlusField, AxisHeadingQuartersIncludeTheirUpperBound)
{
    struct Case {
        int draw;
        float x, y;
    };
    const std::array<Case, 8> cases = {{
        {0, -1, 0}, {8192, -1, 0},       // u = 0.25 still heads -x
        {8193, 0, -1}, {16384, 0, -1},   // u = 0.5 still heads -y
        {16385, 1, 0}, {24576, 1, 0},    // u = 0.75 still heads +x
        {24577, 0, 1}, {32767, 0, 1},
    }};
    for (const Case& c : cases) {
        ShowRandom random = randomYielding(c.draw);
        const Vec4 heading = randomAxisHeading(random);
        EXPECT_EQ(heading.x, c.x) << c.draw;
        EXPECT_EQ(heading.y, c.y) << c.draw;
        EXPECT_EQ(heading.z, 0.0f);
    }
}

TEST(PlusField, SpectrumBinsCoverMinus30To30)
{
    EXPECT_EQ(plusSpectrumBin(-30.0f), 0);
    EXPECT_EQ(plusSpectrumBin(-1000.0f), 0);
    EXPECT_EQ(plusSpectrumBin(0.0f), 32);
    EXPECT_EQ(plusSpectrumBin(29.9f), 63);
    EXPECT_EQ(plusSpectrumBin(30.0f), 64);
    EXPECT_EQ(plusSpectrumBin(1000.0f), 64);
    EXPECT_EQ(plusSpectrumBin(std::numeric_limits<float>::infinity()), 64);
    EXPECT_EQ(plusSpectrumBin(std::numeric_limits<float>::quiet_NaN()), 0);
}

TEST(PlusField, SpriteSizeAndLiftFollowTheSpectrumBin)
{
    PlusField field = builtField();
    std::array<float, 1024> spectrum{};
    spectrum[64] = 0.05f;  // sin(0.5) lifts the sprite
    spectrum[0] = 0.5f;    // sin(5) < -0.575: the sprite turns over
    field.emitter.positions[0] = Vec4{30.0f, 2.0f, -6.0f, 1.0f};
    field.emitter.positions[1] = Vec4{-30.0f, 2.0f, -6.0f, 1.0f};

    const PlusSprite right = plusSprite(field, 0, 0.0f, spectrum.data());
    const float g = (static_cast<float>(std::sin(0.5)) + 0.5f) * 2.0f + 0.15f;
    EXPECT_FLOAT_EQ(right.half, g * 0.35f);
    EXPECT_FLOAT_EQ(right.translate.y, (g * 0.5f + 1.0f) * 2.0f + 2.5f);
    EXPECT_FLOAT_EQ(right.translate.z, -15.0f + g * 2.0f);
    EXPECT_EQ(right.angle, 0.0f) << "no spin before the scatter starts";

    const PlusSprite left = plusSprite(field, 1, 0.0f, spectrum.data());
    EXPECT_LT(left.half, 0.0f);
    EXPECT_LT(left.translate.z, -15.0f) << "a negative size also lowers the lift";

    const PlusSprite silent = plusSprite(field, 0, 0.0f, nullptr);
    EXPECT_FLOAT_EQ(silent.half, 1.15f * 0.35f);

    // Full scatter drops the lift to nothing but keeps the size, and spins fully.
    const PlusSprite scattered = plusSprite(field, 0, 1.0f, spectrum.data());
    EXPECT_EQ(scattered.translate.y, 4.5f);
    EXPECT_EQ(scattered.translate.z, -15.0f);
    EXPECT_EQ(scattered.half, right.half);
    EXPECT_EQ(scattered.angle, field.spinAngle[0]);
}

TEST(PlusField, DriftIsAppliedOnEveryCallUnscaledByStep)
{
    PlusField field = builtField();
    for (int e = 0; e < 4; ++e)
        field.emitter.nextDrop[e] = (e + 1) * 125;  // exhausted: only the drift moves them
    ShowRandom random = showRandomAfter(0);
    const Vec4 start = field.emitter.positions[7];
    const float dx = 0.5f * (field.driftDirection[7].x * field.driftRate[7]);

    advancePlusField(field, 0.001f, 0.5f, random);
    EXPECT_EQ(field.emitter.positions[7].x, start.x + dx);
    advancePlusField(field, 5.0f, 0.5f, random);
    EXPECT_EQ(field.emitter.positions[7].x, start.x + dx + dx);

    advancePlusField(field, 1.0f, 0.0f, random);
    EXPECT_EQ(field.emitter.positions[7].x, start.x + dx + dx) << "no drift while scatter is 0";
}

TEST(PlusField, InconsistentEmitterListsNeverReachPastTheParticles)
{
    PlusField field;
    field.emitter = makeTrailEmitter({{0, 0, 0, 1}, {1, 0, 0, 1}, {2, 0, 0, 1}}, {{-1, 0, 0, 1}, {-1, 0, 0, 1}, {-1, 0, 0, 1}},
                                     500, 10, 0.5f);
    EXPECT_EQ(field.emitter.positions.size(), 498u);
    EXPECT_EQ(plusDrawCount(field), 498);

    field.emitter = makeTrailEmitter({}, {}, 500, 10, 0.5f);
    EXPECT_EQ(plusDrawCount(field), 0);
    ShowRandom random;
    advancePlusField(field, 1.0f, 1.0f, random);
}
