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
    auto scene = buildShowState(music);
    ShowFrameState show(*scene);
    EXPECT_EQ(
        showDigest(show, [&](uint32_t t, float step) { advanceFrame(show, nullptr, t, step); }), kRecordedShowDigest);
}
