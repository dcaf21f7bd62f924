#include <gtest/gtest.h>

#include <array>

#include "audio/beat_detector.h"
#include "audio/playback_stats.h"

namespace {

// Feeds one frame whose 1024 bins all hold `level` (so the energy is `level`).
int feed(BeatDetector& beats, float level)
{
    static std::array<float, 1024> bins;
    bins.fill(level);
    beats.analyse(bins.data());
    return beats.beatFlags[0];
}

}  // namespace

TEST(BeatDetector, BeatsAgainstTheAverageOfTheFilledHistory)
{
    std::vector<int> onceThenQuiet(200, 0);
    onceThenQuiet[0] = 1;
    const struct {
        const char* what;
        std::vector<float> levels;
        std::vector<int> beats;
    } cases[] = {
        {"silence", std::vector<float>(100, 0.0f), std::vector<int>(100, 0)},
        {"a steady tone beats once", std::vector<float>(200, 0.3f), onceThenQuiet},
        // 0.3125 * 1.4 is 0.4375 exactly, and both are exact floats.
        {"exactly 1.4 x the average", {0.3125f, 0.4375f}, {1, 0}},
        {"just above 1.4 x the average", {0.3125f, 0.43751f}, {1, 1}},
        // Averages of {1}, {1, 3} and {1, 3, 2.9}: unfilled slots do not count.
        {"only filled slots", {1.0f, 3.0f, 2.9f, 3.0f}, {1, 1, 1, 0}},
    };
    for (const auto& c : cases) {
        BeatDetector beats;
        std::vector<int> flags;
        for (float level : c.levels)
            flags.push_back(feed(beats, level));
        EXPECT_EQ(flags, c.beats) << c.what;
    }
}

TEST(BeatDetector, HistoryIsFullAfter43UpdatesAndThenSlides)
{
    BeatDetector beats;
    std::vector<float> levels;
    for (int frame = 1; frame <= 43; ++frame)
        feed(beats, levels.emplace_back(static_cast<float>(frame)));
    EXPECT_EQ(beats.history(0), levels);
    // The average of 1..43 is 22, and 30 is not above 1.4 x 22; then the oldest entry leaves.
    EXPECT_EQ(feed(beats, 30.0f), 0);
    EXPECT_EQ(beats.history(0).front(), 2.0f);
    EXPECT_EQ(beats.history(0).back(), 30.0f);
}

TEST(PlaybackStats, CountsBeatsInsideTheWindowBothEndsIncluded)
{
    BeatDetector beating, quiet;
    beating.beatFlags[0] = 1;
    PlaybackStats stats(20000, 122000);
    for (uint32_t ms : {0u, 19999u, 20000u, 60000u, 122000u, 122001u})
        stats.noteFrame(ms, beating);
    stats.noteFrame(50000, quiet);
    EXPECT_EQ(stats.beats(), 3);
}
