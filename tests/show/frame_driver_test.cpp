// The whole show's state change without drawing, against a digest recorded from
// the show as it stands, frame after frame: the generator, every element's update,
// the timeline's ramps, the flash values and the fades all feed it, so a changed
// constant, rule or order anywhere in them shows here. Edges that uneven frames
// would step over have tests of their own.
#include <gtest/gtest.h>

#include "audio/music_player.h"
#include "gfx/program_registry.h"
#include "gfx/texture_registry.h"
#include "state_bits.h"

TEST(AdvanceFrame, TheWholeShowMatchesItsRecordedDigests)
{
    MusicPlayer music;
    ProgramRegistry programs;
    TextureRegistry textures;
    auto scene = buildShowState(music, programs, textures);
    ShowFrameState show(*scene);
    const std::vector<float> quiet(1024, 0.0f), loud(1024, 1.0f);
    // FNV-1a over the state's bits after every frame: one changed bit anywhere changes the end value.
    uint64_t hash = 14695981039346656037ull;
    unevenFrames([&](int, uint32_t t, float step, bool beat) {
        advanceFrame(show, beat ? loud.data() : quiet.data(), t, step);
        for (uint32_t word : stateBits(show))
            hash = (hash ^ word) * 1099511628211ull;
    });
    EXPECT_EQ(hash, 0x4b14979e6cd22ac7u);
}
