#include "scene/greeting_banner.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "show_random_helpers.h"

namespace {

// TORVALE is the first greeting: its cells start after the plus field and swarm.
GreetingBanner torvale()
{
    ShowRandom random = showRandomAfter(3900);
    return buildGreetingBanner("TORVALE", 89000, 92000, 1, 0.025f, random);
}

float materialLevelOf(GreetingBanner& banner, float step, uint32_t t)
{
    EXPECT_TRUE(updateGreetingBanner(banner, step, t)) << t;
    return banner.materialLevel;
}

}  // namespace

TEST(GreetingBanner, GridRunsRowByRowFromTheLowerLeftCorner)
{
    const GreetingBanner b = torvale();
    ASSERT_EQ(b.cellPositions.size(), 800u);
    EXPECT_EQ(b.cellPositions[0].x, -12.0f);
    EXPECT_EQ(b.cellPositions[0].y, -1.5f);
    EXPECT_FLOAT_EQ(b.cellTexCoords[0].y, 0.1f);
    EXPECT_EQ(b.cellPositions[80].x, -12.0f) << "the second row starts at the left again";
    EXPECT_FLOAT_EQ(b.cellPositions[80].y, -1.2f);
    EXPECT_NEAR(b.cellPositions[799].x, 11.7f, 1e-4f);
    EXPECT_NEAR(b.cellTexCoords[1599].x, 1.0f, 1e-5f);
}

TEST(GreetingBanner, DrawnFromStartToEndInclusive)
{
    GreetingBanner b = torvale();
    EXPECT_FALSE(updateGreetingBanner(b, 0.05f, 88999));
    EXPECT_EQ(b.yOffset, 20.0f) << "nothing advances outside the window";
    EXPECT_TRUE(updateGreetingBanner(b, 0.05f, 89000));
    EXPECT_TRUE(updateGreetingBanner(b, 0.05f, 92000));
    const GreetingBanner atEnd = b;
    EXPECT_FALSE(updateGreetingBanner(b, 0.05f, 92001));
    EXPECT_EQ(b.pixelate, atEnd.pixelate);
    EXPECT_EQ(b.cellPositions[5].x, atEnd.cellPositions[5].x);

    // MISKEN overlaps TORVALE for the whole of 91000..92000.
    ShowRandom random = showRandomAfter(0);
    const GreetingBanner next = buildGreetingBanner("MISKEN", 91000, 94000, 0, 0.025f, random);
    for (uint32_t t : {91000u, 92000u})
        EXPECT_TRUE(greetingVisible(b, t) && greetingVisible(next, t)) << t;
    EXPECT_FALSE(greetingVisible(next, 90999));
}

TEST(GreetingBanner, FirstCallUsesFullLevelThenDropsAndSharpens)
{
    GreetingBanner b = torvale();
    const float step = 0.033f;
    EXPECT_EQ(materialLevelOf(b, step, 89000), 1.0f);
    EXPECT_EQ(b.yOffset, 20.0f - 16.0f * step);
    EXPECT_EQ(b.pixelate, 2.0f + 18.0f * step);
    EXPECT_EQ(b.scatter, 0.0f);

    for (int call = 0; call < 100; ++call)
        materialLevelOf(b, step, 89100);
    EXPECT_EQ(b.yOffset, 4.5f);
    EXPECT_LT(b.pixelate, 512.0f);
}

TEST(GreetingBanner, LevelFallsBy3Point5StepsInTheLast125Ms)
{
    GreetingBanner b = torvale();
    const float step = 0.02f;
    EXPECT_EQ(materialLevelOf(b, step, 91874), 1.0f);
    EXPECT_EQ(b.level, 1.0f) << "the fall starts at end - 125";

    materialLevelOf(b, step, 91875);
    EXPECT_EQ(b.level, 1.0f - 4.0f * step) << "the rise is clamped at 1 before the fall";
    const float before = b.level;
    EXPECT_EQ(materialLevelOf(b, step, 91900), before) << "the material takes the level before the advance";
    EXPECT_FLOAT_EQ(b.level, before - 3.5f * step);

    // A huge step clamps every value.
    materialLevelOf(b, 1e6f, 91990);
    EXPECT_EQ(b.level, 0.0f);
    EXPECT_EQ(b.scatter, 1.0f);
    EXPECT_EQ(b.pixelate, 512.0f);
    EXPECT_EQ(b.yOffset, 4.5f);
}

TEST(GreetingBanner, CellsKeepTheirPlacesUntilTheBurst)
{
    GreetingBanner b = torvale();
    const GreetingBanner built = b;
    const float step = 0.03f;
    for (uint32_t t = 89000; t <= 90499; t += 30)
        materialLevelOf(b, step, t);
    EXPECT_EQ(b.scatter, 0.0f);
    for (size_t k = 0; k < b.cellPositions.size(); k += 37) {
        EXPECT_EQ(b.cellPositions[k].x, built.cellPositions[k].x);
        EXPECT_EQ(b.cellPositions[k].z, built.cellPositions[k].z);
    }

    materialLevelOf(b, step, 90500);
    const float scatter = 2.1f * step;
    EXPECT_EQ(b.scatter, scatter);
    const float spread = scatter / 20.0f;
    EXPECT_EQ(b.cellPositions[0].x, built.cellPositions[0].x + (b.cellDirections[0].x * b.cellSpeeds[0]) * spread);
    EXPECT_EQ(b.cellPositions[0].z, built.cellPositions[0].z + (b.cellDirections[0].z * b.cellSpeeds[0]) * spread);

    // Once scatter reaches 1 each call moves a cell by direction x speed / 20, whatever the step.
    materialLevelOf(b, 5.0f, 90600);
    EXPECT_EQ(b.scatter, 1.0f);
    const float x = b.cellPositions[0].x;
    materialLevelOf(b, 0.002f, 90601);
    EXPECT_NEAR(b.cellPositions[0].x - x, b.cellDirections[0].x * b.cellSpeeds[0] / 20.0f, 1e-5f);
}

TEST(GreetingBanner, UnusableCellSizesGiveNoCellsButStillAnimate)
{
    for (float size : {0.0f, -0.025f, 0.3f, 1e-9f, std::numeric_limits<float>::quiet_NaN(),
                       std::numeric_limits<float>::infinity()}) {
        ShowRandom random = showRandomAfter(0);
        GreetingBanner b = buildGreetingBanner("X", 0, 100, 0, size, random);
        EXPECT_TRUE(b.cellPositions.empty()) << size;
        EXPECT_TRUE(b.cellTexCoords.empty()) << size;
        EXPECT_EQ(random.state(), showRandomAfter(0).state()) << size;
        materialLevelOf(b, 0.1f, 0);
        EXPECT_EQ(b.yOffset, 20.0f - 1.6f);
    }
}

TEST(GreetingBanner, WindowsNearZeroDoNotWrap)
{
    ShowRandom random = showRandomAfter(0);
    GreetingBanner b = buildGreetingBanner("EARLY", 0, 100, 0, 0.025f, random);
    materialLevelOf(b, 0.01f, 0);
    EXPECT_EQ(b.scatter, 2.1f * 0.01f) << "end - 1500 lies before 0: the burst runs from the start";
    EXPECT_EQ(b.level, 1.0f - 4.0f * 0.01f) << "end - 125 lies before 0 too: the fade runs as well";
}
