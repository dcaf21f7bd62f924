// The whole show's state change without drawing, against a digest recorded from
// the show as it stands, frame after frame: the generator, every element's update,
// the timeline's ramps, the flash values and the fades all feed it, so a changed
// constant, rule or order anywhere in them shows here. Edges that uneven frames
// would step over have tests of their own.
#include <gtest/gtest.h>

#include "audio/music_player.h"
#include "state_bits.h"

TEST(AdvanceFrame, TheWholeShowMatchesItsRecordedDigests)
{
    MusicPlayer music;
    auto scene = buildShowState();
    ShowFrameState show(*scene, music);
    EXPECT_EQ(
        showDigest(show, [&](uint32_t t, float step) { advanceFrame(show, nullptr, t, step); }), kRecordedShowDigest);
}

// A late start advances the frames beyond the beats' reach without their
// spectrum; the frame it then draws must be the one a start from the beginning
// draws, in bursts of beats and in the rests between them, at rates where the
// detector's history outlasts the flash and where it does not. The late run
// keeps a beat flag raised early on, as a jump from a drawn frame does.
TEST(AdvanceFrame, FramesBeyondTheBeatsReachMayPassUnheard)
{
    MusicPlayer music;
    const std::vector<float> quiet(1024, 0.0f), loud(1024, 1.0f);
    const std::pair<uint64_t, uint32_t> rows[] = {{60, 21000}, {60, 121990}, {10, 47017}, {10, 60500}, {250, 47800}};
    for (const auto& [fps, target] : rows) {
        std::vector<uint32_t> states[2];
        for (const bool late : {false, true}) {
            auto scene = buildShowState();
            ShowFrameState show(*scene, music);
            const uint32_t heardFrom = target - beatReachMs(show, static_cast<uint32_t>((999 + fps) / fps));
            uint32_t previous = 0;
            for (uint64_t k = 0; k * 1000 / fps <= target; ++k) {
                const auto t = static_cast<uint32_t>(k * 1000 / fps);
                const float s = t > previous ? static_cast<float>(t - previous) / 500.0f : 0.002f;
                const bool beat = (k % 7 == 3 && (t / 2500) % 2 == 0) || k == 0;
                if (late && t < heardFrom && k > 0)
                    advanceFrame(show, nullptr, t, s);
                else
                    advanceFrame(show, beat ? loud.data() : quiet.data(), t, s);
                previous = t;
            }
            states[late] = stateBits(show);
        }
        EXPECT_EQ(states[0], states[1]) << fps << " fps, " << target << " ms";
    }
}
