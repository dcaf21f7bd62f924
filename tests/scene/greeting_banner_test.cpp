// A greeting banner's rules' edges and its unusable sizes; its grid feeds the
// whole-show digest.
#include "scene/greeting_banner.h"

#include <gtest/gtest.h>

#include <limits>
#include <tuple>

#include "show_random_helpers.h"

namespace {

// TORVALE is the first greeting: its cells start after the plus field and swarm.
GreetingBanner torvale()
{
    ShowRandom random = showRandomAfter(3900);
    return buildGreetingBanner(ImageId::Torvale, 89000, 92000, 1, 0.025f, random);
}

}  // namespace

TEST(GreetingBanner, RulesHoldFromTheirEdgesInclusiveAndHugeStepsClamp)
{
    const GreetingBanner built = torvale();
    // (t, inside the window, bursting from end - 1500, falling from end - 125)
    const std::tuple<uint32_t, bool, bool, bool> cases[] = {{88999, false, false, false}, {89000, true, false, false},
        {90499, true, false, false}, {90500, true, true, false}, {91874, true, true, false}, {91875, true, true, true},
        {92000, true, true, true}, {92001, false, false, false}};
    for (const auto& [t, inside, bursts, falls] : cases) {
        GreetingBanner b = built;
        EXPECT_EQ(updateGreetingBanner(b, 0.01f, t), inside) << t;
        EXPECT_EQ(b.scatter > 0.0f, bursts) << t;
        EXPECT_EQ(b.level < 1.0f, falls) << t;
    }
    GreetingBanner b = built;
    EXPECT_TRUE(updateGreetingBanner(b, 1e6f, 91990));
    EXPECT_EQ(std::tuple(b.level, b.scatter, b.pixelate, b.yOffset), std::tuple(0.0f, 1.0f, 512.0f, 4.5f));
}

TEST(GreetingBanner, UnusableCellSizesGiveNoCellsAndWindowsNearZeroDoNotWrap)
{
    for (float size :
        {0.0f, -0.025f, 0.3f, 1e-9f, std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity()}) {
        ShowRandom random = showRandomAfter(0);
        GreetingBanner b = buildGreetingBanner(ImageId::Torvale, 0, 100, 0, size, random);
        EXPECT_TRUE(b.cellPositions.empty() && b.cellTexCoords.empty()) << size;
        EXPECT_EQ(random.state(), showRandomAfter(0).state()) << size;
        EXPECT_TRUE(updateGreetingBanner(b, 0.01f, 0)) << size;
        // end - 1500 and end - 125 lie before 0: the burst and the fall run from the start.
        EXPECT_TRUE(b.scatter > 0.0f && b.level < 1.0f) << size;
    }
}
