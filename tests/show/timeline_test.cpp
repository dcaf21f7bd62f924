// The script: windows, ramp rules and their order, banner positions, clamping.
#include <gtest/gtest.h>

#include <tuple>
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
    EXPECT_EQ(banners(script.run(116000, 0.032f)), (std::vector<B> {B::Zembo, B::Kavi}));
    EXPECT_EQ(kinds(script.run(120000, 0.032f)), (std::vector<K> {K::GreetingBanners, K::Banner, K::Banner}));
    EXPECT_EQ(kinds(script.run(132000, 0.032f)), std::vector<K> {K::Banner});
    EXPECT_EQ(script.run(132001, 0.032f).count, 0);
}

// Brindle's fade rises until 37000 and falls from 44000; the swarm drops until
// 77000 and lifts from 86000; the plus field scatters from 27000.
TEST(TimelineTest, RampRulesStartAndStopAtTheirEdgesInclusive)
{
    auto brindle = [](Script& s) { return &s.timeline.banners[static_cast<int>(B::Brindle)].fade; };
    auto swarm = [](Script& s) { return &s.timeline.swarmHeight; };
    auto scatter = [](Script& s) { return &s.timeline.plusScatter; };
    const std::tuple<uint32_t, float* (*)(Script&), int> cases[]
        = {{37000, brindle, 1}, {37001, brindle, 0}, {43999, brindle, 0}, {44000, brindle, -1}, {77000, swarm, -1},
            {77001, swarm, 0}, {85999, swarm, 0}, {86000, swarm, 1}, {26999, scatter, 0}, {27000, scatter, 1}};
    for (const auto& [t, value, direction] : cases) {
        Script script;
        *value(script) = 0.5f;
        script.timeline.swarmHeight = 30.0f;
        const float before = *value(script);
        script.run(t, 0.01f);
        EXPECT_EQ((*value(script) > before) - (*value(script) < before), direction) << t;
    }
}

TEST(TimelineTest, BannersFollowThePulse)
{
    Script script;
    const float p = 0.4f;
    const Vec4& galder = script.run(50000, 0.0f, p).commands[0].position;
    EXPECT_FLOAT_EQ(galder.x, -1.0f - 0.2f * p);
    EXPECT_FLOAT_EQ(galder.z, -8.0f + p);
}

}  // namespace
