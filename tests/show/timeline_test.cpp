// The script: row windows and the ramp rules' edges, both inclusive.
#include <gtest/gtest.h>

#include <tuple>
#include <utility>

#include "show/timeline.h"

TEST(TimelineTest, EveryRowDrawsFromTheFirstToTheLastMillisecondOfItsWindow)
{
    const auto scene = buildShowState();
    TimelinePlan plan;
    for (size_t i = 0; i < std::size(kSceneRows); ++i) {
        const TimeWindow w = kSceneRows[i].window;
        for (const auto& [t, drawn] :
            {std::pair(w.startMs - 1, false), {w.startMs, true}, {w.endMs, true}, {w.endMs + 1, false}}) {
            planTimeline(*scene, {t, 0.032f}, plan);
            EXPECT_EQ(plan.drawn[i], drawn) << "row " << i << " at " << t;
        }
    }
}

// Brindle's fade rises until 37000 and falls from 44000; the swarm drops until
// 77000 and lifts from 86000; the plus field scatters from 27000.
TEST(TimelineTest, RampRulesStartAndStopAtTheirEdgesInclusive)
{
    auto brindle = [](ShowState& s) { return &s.banners[static_cast<int>(BannerId::Brindle)].fade; };
    auto swarm = [](ShowState& s) { return &s.swarm.height; };
    auto scatter = [](ShowState& s) { return &s.plus.scatter; };
    const std::tuple<uint32_t, float* (*)(ShowState&), int> cases[]
        = {{37000, brindle, 1}, {37001, brindle, 0}, {43999, brindle, 0}, {44000, brindle, -1}, {77000, swarm, -1},
            {77001, swarm, 0}, {85999, swarm, 0}, {86000, swarm, 1}, {26999, scatter, 0}, {27000, scatter, 1}};
    for (const auto& [t, value, direction] : cases) {
        const auto scene = buildShowState();
        *value(*scene) = 0.5f;
        scene->swarm.height = 30.0f;
        const float before = *value(*scene);
        TimelinePlan plan;
        planTimeline(*scene, {t, 0.01f}, plan);
        EXPECT_EQ((*value(*scene) > before) - (*value(*scene) < before), direction) << t;
    }
}
