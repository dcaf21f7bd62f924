// The statistics' figures and segments, the slow-renderer notice and the
// frame log's order.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <tuple>

#include "capture/frame_log.h"
#include "capture/stats.h"
#include "tests/support/process.h"

TEST(FrameStats, FiguresUseNearestRank)
{
    std::vector<double> values;
    for (int i = 100; i >= 1; --i)
        values.push_back(i);
    const FrameFigures f = summarise(values);
    EXPECT_EQ(std::tuple(f.mean, f.median, f.p95, f.p99, f.max), std::tuple(50.5, 50.0, 95.0, 99.0, 100.0));
    EXPECT_DOUBLE_EQ(summarise({}).max, 0);
}

TEST(FrameStats, FramesFallIntoTheSegmentOfTheirShowTime)
{
    FrameStats stats;
    stats.setStartupMs(12.5004);
    stats.addFrame(0, 1);
    stats.addFrame(3999, 3);
    stats.addFrame(4000, 10);
    stats.addFrame(70000, 99);  // between the banners and the swarm: in no segment
    const nlohmann::json json = nlohmann::json::parse(stats.toJson());
    EXPECT_EQ(json["frames"], 4);
    EXPECT_EQ(json["startup_ms"], 12.5) << "to the microsecond";
    EXPECT_EQ(json["frame_ms"]["mean"], 28.25);
    EXPECT_EQ(json["segments"]["intro"],
        nlohmann::json::parse(R"({"mean": 2, "median": 1, "p95": 3, "p99": 3, "max": 3, "frames": 2})"));
    EXPECT_TRUE(json["peak_rss_mb"].is_number());
    for (const char* key : {"audio_drift_ms", "beats", "swap_to_seen_ms"})
        EXPECT_FALSE(json.contains(key)) << key;

    stats.setAudioSync({8.25, 120.5, 2, 5});
    stats.setBeats(7);
    for (const double ms : {25.0, 24.0, 31.0})
        stats.addSeen(ms);
    stats.addUnseen();
    const nlohmann::json later = nlohmann::json::parse(stats.toJson());
    const nlohmann::json expected = nlohmann::json::parse(R"({"audio_drift_ms": 8.25, "relock_ms": 120.5,
        "music_seeks": 2, "frames_dropped": 5, "swap_to_seen_ms": 25.0, "frames_unseen": 1, "beats": 7})");
    for (const auto& [key, value] : expected.items())
        EXPECT_EQ(later[key], value) << key;
}

TEST(SlowRendererNotice, SpeaksOnceWhenTheFirstSecondsMedianIsOver50Ms)
{
    for (const auto& [frameMs, notice] : std::vector<std::pair<double, std::string>> {
             {50.0, ""},
             {160.0, "llvmpipe draws 1280x720 at 6 frames a second; --size 640x360 would reach about 25"},
             {90.0, "llvmpipe draws 1280x720 at 11 frames a second; --size 852x480 would reach about 25"},
         }) {
        SlowRendererNotice slow(1000);
        std::string said;
        int lines = 0;
        for (int i = 0; i < 100; ++i) {
            const std::string line = slow.addFrame(i == 0 ? 5000.0 : frameMs, "llvmpipe", 1280, 720);
            if (!line.empty()) {
                said = line;
                ++lines;
                EXPECT_GE(i, 7) << "decided on the slow first frames alone";
            }
        }
        EXPECT_EQ(said, notice) << frameMs;
        EXPECT_LE(lines, 1);
    }
}

// Lines that await their seen time leave in frame order, each as soon as it
// and all before it are settled; the rest leave with 0 once too many wait, or at the end.
TEST(FrameLog, LinesLeaveInOrderOnceTheirFrameWasSeen)
{
    const std::string path = ::testing::TempDir() + "frames.csv";
    auto lines = [&path] { return splitLines(bytesOf(path)); };
    FrameLog log;
    std::string error;
    ASSERT_TRUE(log.open(path, error)) << error;
    log.awaitSeen(true);
    ASSERT_TRUE(log.add(20000.0, 100, false, error));
    ASSERT_TRUE(log.add(20016.5, 200, true, error));
    ASSERT_TRUE(log.seen(1, 250, error));
    EXPECT_EQ(lines().size(), 1u) << "frame 1 waits for frame 0";
    ASSERT_TRUE(log.seen(0, 0, error));
    ASSERT_TRUE(log.seen(0, 999, error)) << "a frame already written is passed over";
    EXPECT_EQ(lines(), (std::vector<std::string> {"frame,show_ms,swap_ns,beat,seen_ns", "0,20000.000,100,0,0",
                           "1,20016.500,200,1,250"}));

    for (size_t k = 0; k <= FrameLog::kMostWaiting; ++k)
        ASSERT_TRUE(log.add(30000.0, 300, false, error));
    EXPECT_EQ(lines().size(), 4u) << "the oldest of too many waiting lines leaves unseen";
    ASSERT_TRUE(log.flush(error));
    EXPECT_EQ(lines().size(), 3u + FrameLog::kMostWaiting + 1);
    EXPECT_EQ(lines().back(), "122,30000.000,300,0,0");
}
