#include <gtest/gtest.h>

#include "app/stats.h"

TEST(FrameStats, FiguresUseNearestRank)
{
    std::vector<double> values;
    for (int i = 100; i >= 1; --i)
        values.push_back(i);
    const FrameFigures f = summarise(values);
    EXPECT_DOUBLE_EQ(f.mean, 50.5);
    EXPECT_DOUBLE_EQ(f.median, 50);
    EXPECT_DOUBLE_EQ(f.p95, 95);
    EXPECT_DOUBLE_EQ(f.p99, 99);
    EXPECT_DOUBLE_EQ(f.max, 100);

    EXPECT_DOUBLE_EQ(summarise({7}).p99, 7);
    EXPECT_DOUBLE_EQ(summarise({}).max, 0);
}

TEST(FrameStats, FramesFallIntoTheSegmentOfTheirShowTime)
{
    FrameStats stats;
    stats.setStartupMs(12.5);
    stats.addFrame(0, 1);
    stats.addFrame(3999, 3);
    stats.addFrame(4000, 10);
    stats.addFrame(70000, 99);   // between the banners and the swarm: in no segment
    stats.addFrame(133999, 5);
    const std::string json = stats.toJson();
    EXPECT_EQ(json.find("{\"frames\": 5, \"startup_ms\": 12.500, \"frame_ms\": {\"mean\": 23.600"), 0u) << json;
    EXPECT_NE(json.find("\"intro\": {\"mean\": 2.000, \"median\": 1.000, \"p95\": 3.000, \"p99\": 3.000, "
                        "\"max\": 3.000, \"frames\": 2}"),
              std::string::npos)
        << json;
    EXPECT_NE(json.find("\"plus\": {\"mean\": 10.000"), std::string::npos);
    EXPECT_NE(json.find("\"swarm\": {\"mean\": 0.000, \"median\": 0.000, \"p95\": 0.000, \"p99\": 0.000, "
                        "\"max\": 0.000, \"frames\": 0}"),
              std::string::npos);
    EXPECT_NE(json.find("\"credits\": {\"mean\": 5.000"), std::string::npos);
    EXPECT_NE(json.find("\"peak_rss_mb\": "), std::string::npos);
    EXPECT_EQ(json.find("audio_drift_ms"), std::string::npos);
    EXPECT_EQ(json.back(), '}');
    EXPECT_EQ(json.find('\n'), std::string::npos);

    stats.setAudioSync(8.25, 120.5);
    EXPECT_NE(stats.toJson().find("\"audio_drift_ms\": 8.250, \"relock_ms\": 120.500}"), std::string::npos);
}
