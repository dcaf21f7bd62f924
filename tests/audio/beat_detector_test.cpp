// The beat detector against its history's average, and the beat count inside
// the show's beat window.
#include <gtest/gtest.h>

#include <array>
#include <tuple>
#include <vector>

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
    // A loud first frame, then 42 quiet ones: the 44th frame is judged
    // against all 43, the 45th no longer against the first.
    std::vector<float> slide(45, 1.0f);
    slide[0] = 10.0f;
    slide[43] = 1.6f;
    slide[44] = 1.5f;
    std::vector<int> slideBeats(45, 0);
    slideBeats[0] = slideBeats[44] = 1;
    for (const auto& [what, levels, expected] :
        std::vector<std::tuple<const char*, std::vector<float>, std::vector<int>>> {
            {"silence", std::vector<float>(100, 0.0f), std::vector<int>(100, 0)},
            // 0.3125 * 1.4 is 0.4375 exactly, and both are exact floats.
            {"exactly 1.4 x the average", {0.3125f, 0.4375f}, {1, 0}},
            {"just above 1.4 x the average", {0.3125f, 0.43751f}, {1, 1}},
            // Averages of {1}, {1, 3} and {1, 3, 2.9}: unfilled slots do not count.
            {"only filled slots", {1.0f, 3.0f, 2.9f, 3.0f}, {1, 1, 1, 0}},
            {"43 frames of history", slide, slideBeats},
        }) {
        BeatDetector beats;
        std::vector<int> flags;
        for (float level : levels)
            flags.push_back(feed(beats, level));
        EXPECT_EQ(flags, expected) << what;
    }
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
