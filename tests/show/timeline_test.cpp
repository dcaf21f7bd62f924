// The script: windows, ramp rules and their order, banner positions, clamping.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "show/timeline.h"

namespace {

struct Script {
    TimelineState timeline;
    std::vector<float> angle = std::vector<float>(500, 0.0f);
    std::vector<float> rate = std::vector<float>(500, 0.1f);
    TimelinePlan plan;

    const TimelinePlan& run(uint32_t t, float s, float pulse = 0.0f)
    {
        planTimeline(timeline, {angle, rate}, t, s, pulse, plan);
        return plan;
    }
    BannerState& banner(BannerId id) { return timeline.banners[static_cast<int>(id)]; }
};

std::vector<DrawKind> kinds(const TimelinePlan& plan)
{
    std::vector<DrawKind> out;
    for (int i = 0; i < plan.count; ++i)
        out.push_back(plan.commands[i].kind);
    return out;
}

std::vector<BannerId> banners(const TimelinePlan& plan)
{
    std::vector<BannerId> out;
    for (int i = 0; i < plan.count; ++i) {
        if (plan.commands[i].kind == DrawKind::Banner)
            out.push_back(plan.commands[i].banner);
    }
    return out;
}

using K = DrawKind;
using B = BannerId;

TEST(TimelineTest, WindowEdgesAreInclusive)
{
    Script script;
    EXPECT_EQ(script.run(3999, 0.032f).count, 0);
    EXPECT_EQ(kinds(script.run(4000, 0.032f)), std::vector<K>{K::PlusField});
    EXPECT_EQ(kinds(script.run(32000, 0.032f)), (std::vector<K>{K::PlusField, K::Banner}));
    EXPECT_EQ(banners(script.run(46000, 0.032f)), (std::vector<B>{B::Brindle, B::Galder}));
    EXPECT_EQ(banners(script.run(46001, 0.032f)), std::vector<B>{B::Galder});
    EXPECT_EQ(script.run(69001, 0.032f).count, 0);
    EXPECT_EQ(script.run(71999, 0.032f).count, 0);
    EXPECT_EQ(kinds(script.run(72000, 0.032f)), std::vector<K>{K::SquareSwarm});
    EXPECT_EQ(kinds(script.run(89000, 0.032f)), (std::vector<K>{K::SquareSwarm, K::GreetingBanners}));
    EXPECT_EQ(kinds(script.run(132000, 0.032f)), std::vector<K>{K::Banner});
    EXPECT_EQ(script.run(132001, 0.032f).count, 0);
}

TEST(TimelineTest, RowsComeInScriptOrder)
{
    Script script;
    EXPECT_EQ(banners(script.run(44000, 0.032f)), (std::vector<B>{B::Brindle, B::Galder}));
    const TimelinePlan& late = script.run(120000, 0.032f);
    EXPECT_EQ(kinds(late), (std::vector<K>{K::GreetingBanners, K::Banner, K::Banner}));
    EXPECT_EQ(banners(late), (std::vector<B>{B::Kavi, B::Message}));
    const TimelinePlan& credits = script.run(116000, 0.032f);
    EXPECT_EQ(banners(credits), (std::vector<B>{B::Zembo, B::Kavi}));
    EXPECT_STREQ(credits.commands[1].textureKey, "ZEMBO");
    EXPECT_STREQ(credits.commands[2].textureKey, "KAVI");
}

TEST(TimelineTest, BannerFadesInThenOutAndSharpens)
{
    Script script;
    script.run(32000, 0.1f);
    EXPECT_FLOAT_EQ(script.banner(B::Brindle).fade, 0.01f);
    EXPECT_FLOAT_EQ(script.banner(B::Brindle).pixelate, 2.8f);
    EXPECT_FLOAT_EQ(script.banner(B::Brindle).phase, 0.025f);
    for (int i = 0; i < 100; ++i)
        script.run(33000, 0.1f);
    EXPECT_EQ(script.banner(B::Brindle).fade, 1.0f);
    script.run(44000, 0.1f);  // no rise after 37000, falls from 44000
    EXPECT_FLOAT_EQ(script.banner(B::Brindle).fade, 0.97f);
    // Between the two rules the fade holds.
    script.run(40000, 0.1f);
    EXPECT_FLOAT_EQ(script.banner(B::Brindle).fade, 0.97f);
    // Banners without wobble keep phase 0.
    script.run(43000, 0.1f);
    EXPECT_EQ(script.banner(B::Galder).phase, 0.0f);
}

TEST(TimelineTest, OverlappingRulesApplyRiseThenFall)
{
    Script script;
    script.banner(B::Zembo).fade = 0.5f;
    const float s = 0.04f;
    script.run(116500, s);
    EXPECT_FLOAT_EQ(script.banner(B::Zembo).fade, 0.5f - 0.2f * s);

    // At full level the rise clamps first, then the fall still takes its share.
    script.banner(B::Kavi).fade = 1.0f;
    script.run(120500, s);
    EXPECT_FLOAT_EQ(script.banner(B::Kavi).fade, 1.0f - 0.3f * s);
}

TEST(TimelineTest, LongFramesClampEveryRamp)
{
    Script script;
    const uint32_t times[] = {4000, 27000, 30000, 32000, 35000, 45000, 50000, 60000, 68000,
                              72000, 77000, 86000, 89000, 112000, 116500, 120500, 125000, 131000};
    for (uint32_t t : times) {
        script.run(t, 1000.0f);
        for (const BannerState& b : script.timeline.banners) {
            EXPECT_GE(b.fade, 0.0f) << t;
            EXPECT_LE(b.fade, 1.0f) << t;
            EXPECT_LE(b.pixelate, 512.0f) << t;
        }
        EXPECT_GE(script.timeline.swarmHeight, 15.0f) << t;
        EXPECT_LE(script.timeline.swarmHeight, 45.0f) << t;
        EXPECT_GE(script.timeline.plusScatter, 0.0f) << t;
        EXPECT_LE(script.timeline.plusScatter, 1.0f) << t;
        EXPECT_GE(script.timeline.plusFade, 0.0f) << t;
        EXPECT_LE(script.timeline.plusFade, 1.0f) << t;
    }
    EXPECT_EQ(script.banner(B::Brindle).pixelate, 512.0f);
    EXPECT_EQ(script.timeline.plusScatter, 1.0f);
    EXPECT_EQ(script.timeline.plusFade, 0.0f);
    EXPECT_EQ(script.timeline.swarmHeight, 45.0f);
}

TEST(TimelineTest, PlusFieldScattersSpinsAndFadesOnlyInItsLastFiveSeconds)
{
    Script script;
    script.run(26999, 0.5f);
    EXPECT_EQ(script.timeline.plusScatter, 0.0f);
    EXPECT_EQ(script.timeline.plusFade, 1.0f);
    EXPECT_EQ(script.angle[0], 0.0f);

    script.run(27000, 0.5f);
    EXPECT_FLOAT_EQ(script.timeline.plusScatter, 0.125f);
    EXPECT_FLOAT_EQ(script.timeline.plusFade, 0.975f);
    EXPECT_FLOAT_EQ(script.angle[499], 0.1f * 0.5f * 10.0f);

    // Ten seconds of frames at 60 per second, two runs each: fade reaches 0 exactly at the end.
    Script steady;
    for (uint32_t t = 27000; t <= 32000; t += 16)
        for (int pass = 0; pass < 2; ++pass)
            steady.run(t, 0.032f);
    EXPECT_NEAR(steady.timeline.plusFade, 0.0f, 0.002f);
    EXPECT_EQ(steady.timeline.plusScatter, 1.0f);
}

TEST(TimelineTest, SwarmDropsAndLifts)
{
    Script script;
    script.run(72000, 1.0f);
    EXPECT_EQ(script.timeline.swarmHeight, 29.0f);
    script.run(80000, 1.0f);
    EXPECT_EQ(script.timeline.swarmHeight, 29.0f);
    script.run(86000, 1.0f);
    EXPECT_EQ(script.timeline.swarmHeight, 39.0f);
}

TEST(TimelineTest, BannerPositionsFollowPulseAndPhase)
{
    Script script;
    const float p = 0.4f;
    const TimelinePlan& galder = script.run(50000, 0.0f, p);
    ASSERT_EQ(galder.count, 1);
    EXPECT_FLOAT_EQ(galder.commands[0].position.x, -1.0f - 0.2f * p);
    EXPECT_FLOAT_EQ(galder.commands[0].position.y, 2.5f - 0.2f * p);
    EXPECT_FLOAT_EQ(galder.commands[0].position.z, -8.0f + p);

    const TimelinePlan& qn = script.run(60000, 0.0f, p);
    EXPECT_FLOAT_EQ(qn.commands[0].position.x, 1.0f + 0.2f * p);
    EXPECT_FLOAT_EQ(qn.commands[0].position.y, 4.0f);
    EXPECT_FLOAT_EQ(qn.commands[0].position.z, -6.0f - 3.0f * p);

    const TimelinePlan& message = script.run(126000, 4.0f);
    const float u = script.banner(B::Message).phase;
    EXPECT_EQ(u, 1.0f);
    const Vec4& m = message.commands[0].position;
    EXPECT_EQ(m.x, 6.0f + static_cast<float>(std::sin(1.0)));
    EXPECT_EQ(m.y, 6.0f + 0.2f * static_cast<float>(std::cos(static_cast<double>(u + 0.5f))));
    EXPECT_EQ(m.z, -7.0f + 0.1f * static_cast<float>(std::sin(static_cast<double>(u + 0.75f))));
    EXPECT_EQ(m.w, 1.0f);
    EXPECT_STREQ(message.commands[0].textureKey, "MESSAGE");
}

TEST(TimelineTest, FadeDependsOnTimeSpentNotFrameRate)
{
    Script fast, slow;
    for (int i = 0; i < 120; ++i)
        fast.run(32000 + i * 8, 0.016f);
    for (int i = 0; i < 12; ++i)
        slow.run(32000 + i * 80, 0.16f);
    EXPECT_NEAR(fast.banner(B::Brindle).fade, slow.banner(B::Brindle).fade, 1e-5f);
    EXPECT_NEAR(fast.banner(B::Brindle).pixelate, slow.banner(B::Brindle).pixelate, 1e-3f);
}

}  // namespace
