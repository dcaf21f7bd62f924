// The whole show's state change without drawing, against digests recorded from
// the show as it stands, frame after frame: the generator, every element's update, the timeline's
// ramps, the flash values and the fades all feed them, so a changed constant, rule
// or order anywhere in them shows here. Edges that uneven frames would step over
// have tests of their own.
#include <gtest/gtest.h>

#include <map>

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
    // FNV-1a over the state's bits after every frame, read every 11 s or so.
    uint64_t hash = 14695981039346656037ull;
    std::map<uint32_t, uint64_t> digests;
    uint32_t last = 0;
    unevenFrames([&](int, uint32_t t, float step, bool beat) {
        advanceFrame(show, beat ? loud.data() : quiet.data(), t, step);
        for (uint32_t word : stateBits(show))
            hash = (hash ^ word) * 1099511628211ull;
        if (t >= last + 11000 || t == 0)
            digests[last = t] = hash;
    });
    digests[kShowLengthMs] = hash;
    const std::map<uint32_t, uint64_t> recorded = {{0, 0x63d045c47d197cb1}, {11247, 0xe9d479aa43ed5132},
        {22512, 0xa32dbba23d2730e4}, {33777, 0x5ad33384c7623800}, {45042, 0xf58573745d8c744c},
        {56307, 0xc14607f124165a13}, {67572, 0x99c115cbb92ede10}, {78837, 0x8214cbbb35c41171},
        {90102, 0xf4713734307bf2f6}, {101367, 0x631148cfa1cfede6}, {112632, 0x69996e67c6cc42ae},
        {123897, 0x3692c9924db3388a}, {134000, 0x4b14979e6cd22ac7}};
    EXPECT_EQ(digests, recorded);
}
