// The fades' retirement and the frames they cover.
#include <gtest/gtest.h>

#include <utility>

#include "show/colour_fades.h"

// The fade-in's alpha shows in the show's reference frames; here the fade-out's
// and the retirement bookkeeping, which frames cannot show.
TEST(ColourFades, AnEntryDrawsItsEndOnceMoreThenRetiresUntilReset)
{
    FadeState state;
    std::array<FadeQuad, kFadeTable.size()> quads {};
    planFades(state, 3990, quads);
    ASSERT_EQ(planFades(state, 4016, quads), 1);
    EXPECT_EQ(quads[0].t, 1.0f);
    EXPECT_TRUE(state.done[0]);
    EXPECT_EQ(planFades(state, 129999, quads), 0);

    // A jump past the fade-in draws it at its clear end, then the fade-out.
    FadeState late;
    ASSERT_EQ(planFades(late, 131000, quads), 2);
    EXPECT_EQ(quads[0].entry, &kFadeTable[0]);
    EXPECT_FLOAT_EQ(fadeColour(quads[0])[3], 0.0f);
    EXPECT_FLOAT_EQ(fadeColour(quads[1])[3], 0.25f);

    planFades(late, 200000, quads);
    EXPECT_TRUE(late.done[0] && late.done[1]);
    late.reset();
    EXPECT_EQ(planFades(late, 0, quads), 1);
}

// Only a frame whose fade is wholly opaque may skip drawing the picture under it.
TEST(ColourFades, OnlyAnOpaqueQuadCoversTheFrame)
{
    const std::pair<uint32_t, bool> rows[] = {{0, true}, {1, false}, {3999, false}, {129999, false}, {134000, true}};
    for (const auto& [now, covered] : rows) {
        const FadeState state;
        EXPECT_EQ(fadesCover(state, now), covered) << now;
    }
}
