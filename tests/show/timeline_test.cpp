// The script: windows, ramp rules and their order, banner positions, clamping.
#include <gtest/gtest.h>

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

TEST(TimelineTest, WindowEdgesAreInclusiveAndRowsComeInScriptOrder)
{
    Script script;
    EXPECT_EQ(script.run(3999, 0.032f).count, 0);
    EXPECT_EQ(kinds(script.run(4000, 0.032f)), std::vector<K> {K::PlusField});
    EXPECT_EQ(kinds(script.run(32000, 0.032f)), (std::vector<K> {K::PlusField, K::Banner}));
    EXPECT_EQ(banners(script.run(46000, 0.032f)), (std::vector<B> {B::Brindle, B::Galder}));
    EXPECT_EQ(banners(script.run(46001, 0.032f)), std::vector<B> {B::Galder});
    EXPECT_EQ(script.run(71999, 0.032f).count, 0);
    EXPECT_EQ(kinds(script.run(89000, 0.032f)), (std::vector<K> {K::SquareSwarm, K::GreetingBanners}));
    const TimelinePlan& credits = script.run(116000, 0.032f);
    EXPECT_EQ(banners(credits), (std::vector<B> {B::Zembo, B::Kavi}));
    EXPECT_EQ(kinds(script.run(120000, 0.032f)), (std::vector<K> {K::GreetingBanners, K::Banner, K::Banner}));
    EXPECT_EQ(kinds(script.run(132000, 0.032f)), std::vector<K> {K::Banner});
    EXPECT_EQ(script.run(132001, 0.032f).count, 0);
}

TEST(TimelineTest, BannerFadesInHoldsThenFalls)
{
    Script script;
    script.run(32000, 0.1f);
    EXPECT_FLOAT_EQ(script.banner(B::Brindle).fade, 0.01f);
    EXPECT_FLOAT_EQ(script.banner(B::Brindle).pixelate, 2.8f);
    for (int i = 0; i < 100; ++i)
        script.run(33000, 0.1f);
    EXPECT_EQ(script.banner(B::Brindle).fade, 1.0f);
    script.run(44000, 0.1f);
    script.run(40000, 0.1f);  // between the rise and the fall the fade holds
    EXPECT_FLOAT_EQ(script.banner(B::Brindle).fade, 0.97f);
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
    const uint32_t times[] = {4000, 27000, 30000, 32000, 35000, 45000, 50000, 60000, 68000, 72000, 77000, 86000, 89000,
        112000, 116500, 120500, 125000, 131000};
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

TEST(TimelineTest, SwarmDropsAndLiftsAndBannersFollowThePulse)
{
    Script script;
    script.run(72000, 1.0f);
    EXPECT_EQ(script.timeline.swarmHeight, 29.0f);
    script.run(86000, 1.0f);
    EXPECT_EQ(script.timeline.swarmHeight, 39.0f);

    const float p = 0.4f;
    const Vec4& galder = script.run(50000, 0.0f, p).commands[0].position;
    EXPECT_FLOAT_EQ(galder.x, -1.0f - 0.2f * p);
    EXPECT_FLOAT_EQ(galder.z, -8.0f + p);
}

}  // namespace
