#include "scene/greeting_banner.h"

#include <gtest/gtest.h>

#include <limits>

#include "show_random_helpers.h"

namespace {

// TORVALE is the first greeting: its cells start after the plus field and swarm.
GreetingBanner torvale()
{
    ShowRandom random = showRandomAfter(3900);
    return buildGreetingBanner("TORVALE", 89000, 92000, 1, 0.025f, random);
}

// The level the call draws with.
float update(GreetingBanner& banner, float step, uint32_t t)
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

TEST(GreetingBanner, ChangesOnlyFromStartToEndInclusive)
{
    GreetingBanner b = torvale();
    EXPECT_FALSE(updateGreetingBanner(b, 0.05f, 88999));
    EXPECT_EQ(b.yOffset, 20.0f);
    EXPECT_TRUE(updateGreetingBanner(b, 0.05f, 89000));
    EXPECT_TRUE(updateGreetingBanner(b, 0.05f, 92000));
    const GreetingBanner atEnd = b;
    EXPECT_FALSE(updateGreetingBanner(b, 0.05f, 92001));
    EXPECT_EQ(b.pixelate, atEnd.pixelate);
    EXPECT_EQ(b.cellPositions[5].x, atEnd.cellPositions[5].x);
    EXPECT_TRUE(greetingVisible(b, 92000) && !greetingVisible(b, 92001) && !greetingVisible(b, 88999));
}

TEST(GreetingBanner, DropsAndSharpensThenFallsInTheLast125Ms)
{
    GreetingBanner b = torvale();
    EXPECT_EQ(update(b, 0.033f, 89000), 1.0f);
    EXPECT_EQ(b.yOffset, 20.0f - 16.0f * 0.033f);
    EXPECT_EQ(b.pixelate, 2.0f + 18.0f * 0.033f);
    for (int call = 0; call < 100; ++call)
        update(b, 0.033f, 89100);
    EXPECT_EQ(b.yOffset, 4.5f);
    EXPECT_LT(b.pixelate, 512.0f);

    EXPECT_EQ(update(b, 0.02f, 91874), 1.0f);
    EXPECT_EQ(b.level, 1.0f) << "the fall starts at end - 125";
    update(b, 0.02f, 91875);
    EXPECT_EQ(b.level, 1.0f - 4.0f * 0.02f) << "the rise is clamped at 1 before the fall";
    const float before = b.level;
    EXPECT_EQ(update(b, 0.02f, 91900), before) << "the material takes the level before the advance";
    EXPECT_FLOAT_EQ(b.level, before - 3.5f * 0.02f);

    update(b, 1e6f, 91990);
    EXPECT_EQ(b.level, 0.0f);
    EXPECT_EQ(b.scatter, 1.0f);
    EXPECT_EQ(b.pixelate, 512.0f);
    EXPECT_EQ(b.yOffset, 4.5f);
}

TEST(GreetingBanner, CellsKeepTheirPlacesUntilTheBurst)
{
    GreetingBanner b = torvale();
    const GreetingBanner built = b;
    for (uint32_t t = 89000; t <= 90499; t += 30)
        update(b, 0.03f, t);
    EXPECT_EQ(b.scatter, 0.0f);
    for (size_t k = 0; k < b.cellPositions.size(); k += 37)
        EXPECT_EQ(b.cellPositions[k].x, built.cellPositions[k].x);

    update(b, 0.03f, 90500);
    EXPECT_EQ(b.scatter, 2.1f * 0.03f);
    EXPECT_EQ(b.cellPositions[0].z,
        built.cellPositions[0].z + (b.cellDirections[0].z * b.cellSpeeds[0]) * (b.scatter / 20.0f));

    // Once scatter reaches 1 each call moves a cell by direction x speed / 20, whatever the step.
    update(b, 5.0f, 90600);
    const float x = b.cellPositions[0].x;
    update(b, 0.002f, 90601);
    EXPECT_NEAR(b.cellPositions[0].x - x, b.cellDirections[0].x * b.cellSpeeds[0] / 20.0f, 1e-5f);
}

TEST(GreetingBanner, UnusableCellSizesGiveNoCellsAndWindowsNearZeroDoNotWrap)
{
    for (float size :
        {0.0f, -0.025f, 0.3f, 1e-9f, std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity()}) {
        ShowRandom random = showRandomAfter(0);
        GreetingBanner b = buildGreetingBanner("X", 0, 100, 0, size, random);
        EXPECT_TRUE(b.cellPositions.empty() && b.cellTexCoords.empty()) << size;
        EXPECT_EQ(random.state(), showRandomAfter(0).state()) << size;
        update(b, 0.01f, 0);
        EXPECT_FLOAT_EQ(b.yOffset, 20.0f - 16.0f * 0.01f) << size;
        // end - 1500 and end - 125 lie before 0: the burst and the fall run from the start.
        EXPECT_EQ(b.scatter, 2.1f * 0.01f) << size;
        EXPECT_EQ(b.level, 1.0f - 4.0f * 0.01f) << size;
    }
}
