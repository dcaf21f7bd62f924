// The generated music: its format and length as the show's decoder sees them,
// its level, its sections, whether the show's beat detector finds its kicks,
// and whether it moves the plus field's sprites.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>

#include "audio/decoded_track.h"
#include "tools/beat_match.h"
#include "tools/plus_size_spread.h"
#include "tools/track_arrangement.h"

namespace {

const DecodedTrack& generatedTrack()
{
    static const DecodedTrack track = [] {
        DecodedTrack t;
        std::string error;
        EXPECT_TRUE(decodeMp3File(std::string(BRINDLE_DATA_DIR) + "/music.mp3", t, error)) << error;
        return t;
    }();
    return track;
}

// RMS level in dBFS of both channels over [from, to) seconds.
double rmsDecibels(const DecodedTrack& track, double from, double to)
{
    const size_t first = static_cast<size_t>(from * track.sampleRate);
    const size_t last = std::min(track.frames(), static_cast<size_t>(to * track.sampleRate));
    double sum = 0.0;
    for (size_t i = first * 2; i < last * 2; ++i)
        sum += static_cast<double>(track.samples[i]) * track.samples[i];
    const double meanSquare = last > first ? sum / static_cast<double>((last - first) * 2) : 0.0;
    return 10.0 * std::log10(std::max(meanSquare, 1e-20));
}

// The same below about 120 Hz (one-pole low-pass of the mono mix), where the
// kick's body lies.
double lowRmsDecibels(const DecodedTrack& track, double from, double to)
{
    const size_t first = static_cast<size_t>(from * track.sampleRate);
    const size_t last = std::min(track.frames(), static_cast<size_t>(to * track.sampleRate));
    const double coefficient = 1.0 - std::exp(-2.0 * 3.141592653589793 * 120.0 / track.sampleRate);
    double low = 0.0, sum = 0.0;
    for (size_t i = first; i < last; ++i) {
        low += coefficient * (0.5 * (track.samples[i * 2] + track.samples[i * 2 + 1]) - low);
        sum += low * low;
    }
    return 10.0 * std::log10(std::max(last > first ? sum / static_cast<double>(last - first) : 0.0, 1e-20));
}

}  // namespace

TEST(MusicTrack, DecodesToTheWholeShowInStereoAt44100)
{
    const DecodedTrack& track = generatedTrack();
    EXPECT_EQ(track.sampleRate, 44100);
    EXPECT_EQ(track.channels, 2);
    EXPECT_GE(static_cast<double>(track.frames()) / track.sampleRate, 134.5);
    // Exactly the rendered length: the gapless tag made it into the file, so
    // the decoder trimmed the encoder's delay and padding.
    EXPECT_EQ(track.frames(), static_cast<size_t>(kTrackSeconds * 44100));
}

TEST(MusicTrack, PeaksStayBelowMinusOneDecibel)
{
    const DecodedTrack& track = generatedTrack();
    ASSERT_FALSE(track.samples.empty());
    float peak = 0.0f;
    for (float s : track.samples)
        peak = std::max(peak, std::fabs(s));
    const double peakDb = 20.0 * std::log10(peak);
    EXPECT_LT(peakDb, -1.0);
    EXPECT_GT(peakDb, -6.0) << "the mix is not needlessly quiet";
    std::printf("music.mp3: sample peak %.2f dBFS, RMS 4-130 s %.1f dBFS\n", peakDb, rmsDecibels(track, 4.0, 130.0));
}

TEST(MusicTrack, SectionsFollowTheShow)
{
    const DecodedTrack& track = generatedTrack();
    ASSERT_FALSE(track.samples.empty());
    EXPECT_LT(rmsDecibels(track, 0.0, 1.0), rmsDecibels(track, 3.0, 4.0) - 6.0) << "the opening pad swells";
    EXPECT_GT(lowRmsDecibels(track, 20.0, 32.0), lowRmsDecibels(track, 4.0, 20.0) + 3.0) << "the kick comes in at 20 s";
    EXPECT_LT(rmsDecibels(track, 69.2, 71.8), rmsDecibels(track, 60.0, 68.0) - 3.0) << "the break drops the drums";
    EXPECT_LT(rmsDecibels(track, 126.0, 130.0), rmsDecibels(track, 112.0, 120.0) - 3.0) << "the drums fall away";
    EXPECT_LT(rmsDecibels(track, 133.5, 134.0), -50.0) << "faded out by the end of the show";
    EXPECT_LT(rmsDecibels(track, 134.0, 135.0), -90.0);
}

TEST(MusicTrack, BeatDetectorFindsTheKicksAndLittleElse)
{
    const DecodedTrack& track = generatedTrack();
    ASSERT_FALSE(track.samples.empty());
    std::vector<int64_t> onsets;
    ASSERT_TRUE(readKickOnsets(BRINDLE_KICK_ONSETS_FILE, onsets));
    const BeatMatch match = matchBeatsToKicks(track, onsets, 20000, 122000);
    std::printf("beats: %d of %d kicks hit (%.1f %%), %d of %d beat frames stray (%.1f %%)\n", match.hits, match.kicks,
        100.0 * match.hitRate(), match.strayFrames, match.beatFrames, 100.0 * match.strayRate());
    // Every kick of the arrangement is in the list the generator wrote.
    int kicks = 0;
    for (int64_t ms = 20000; ms < 122000; ms += 500)
        kicks += kickPlaysAt(static_cast<double>(ms) / 1000.0);
    EXPECT_EQ(match.kicks, kicks);
    EXPECT_EQ(match.kicks, 198);
    EXPECT_GE(match.hitRate(), 0.95);
    EXPECT_LE(match.strayRate(), 0.05);
}

TEST(MusicTrack, PlusFieldSpritesBreatheWithTheMusic)
{
    const DecodedTrack& track = generatedTrack();
    ASSERT_FALSE(track.samples.empty());
    const double beforeKick = plusSizeSpread(track, 4000, 20000), withKick = plusSizeSpread(track, 20000, 27000);
    std::printf("plus field size spread: %.2f over 4-20 s, %.2f over 20-27 s\n", beforeKick, withKick);
    EXPECT_GE(beforeKick, 0.5);
    EXPECT_GE(withKick, 0.5);
}
