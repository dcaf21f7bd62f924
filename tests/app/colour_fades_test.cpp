#include <gtest/gtest.h>

#include "show/colour_fades.h"

namespace {

struct Plan {
    int count;
    std::array<FadeQuad, kFadeTable.size()> quads;
};

Plan plan(FadeState& state, uint32_t now)
{
    Plan p{};
    p.count = planFades(state, now, p.quads);
    return p;
}

float alphaOf(const FadeQuad& q)
{
    const FadeEntry& e = *q.entry;
    return fadeColour(e.fromR, e.fromG, e.fromB, e.toR, e.toG, e.toB, e.fromAlpha, e.toAlpha, q.t)[3];
}

} // namespace

TEST(ColourFades, FadeInRunsFromOpaqueToClearWithTheEndInclusive)
{
    FadeState state;
    for (auto [now, alpha] : {std::pair{0u, 1.0f}, {2000u, 0.5f}, {4000u, 0.0f}}) {
        Plan p = plan(state, now);
        ASSERT_EQ(p.count, 1) << now;
        EXPECT_EQ(p.quads[0].entry, &kFadeTable[0]);
        EXPECT_FLOAT_EQ(alphaOf(p.quads[0]), alpha) << now;
    }
    EXPECT_FALSE(state.done[0]);
}

TEST(ColourFades, AnEntryDrawsItsEndOnceMoreThenRetires)
{
    FadeState state;
    plan(state, 3990);
    Plan past = plan(state, 4016);
    ASSERT_EQ(past.count, 1);
    EXPECT_EQ(past.quads[0].t, 1.0f);
    EXPECT_TRUE(state.done[0]);
    EXPECT_EQ(plan(state, 5000).count, 0);
    EXPECT_EQ(plan(state, 129999).count, 0);
}

TEST(ColourFades, FadeOutReachesOpaqueAtTheShowsEnd)
{
    FadeState state;
    Plan quarter = plan(state, 131000);
    // The fade-in retires in the same frame, drawn first at its clear end.
    ASSERT_EQ(quarter.count, 2);
    EXPECT_EQ(quarter.quads[0].entry, &kFadeTable[0]);
    EXPECT_FLOAT_EQ(alphaOf(quarter.quads[0]), 0.0f);
    EXPECT_FLOAT_EQ(alphaOf(quarter.quads[1]), 0.25f);
    Plan end = plan(state, 134000);
    ASSERT_EQ(end.count, 1);
    EXPECT_FLOAT_EQ(alphaOf(end.quads[0]), 1.0f);
}

TEST(ColourFades, ResetBringsRetiredEntriesBack)
{
    FadeState state;
    plan(state, 200000);
    EXPECT_TRUE(state.done[0] && state.done[1]);
    state.reset();
    EXPECT_EQ(plan(state, 0).count, 1);
}

TEST(ColourFades, ColourInterpolatesEveryChannel)
{
    const auto c = fadeColour(1, 0, 0.5f, 0, 1, 0.5f, 0.2f, 0.6f, 0.25f);
    EXPECT_FLOAT_EQ(c[0], 0.75f);
    EXPECT_FLOAT_EQ(c[1], 0.25f);
    EXPECT_FLOAT_EQ(c[2], 0.5f);
    EXPECT_FLOAT_EQ(c[3], 0.3f);
}
