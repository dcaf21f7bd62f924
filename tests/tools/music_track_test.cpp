// The generated music as the show's decoder hears it: its length, level and
// sections, the kicks the beat detector must find and the sprites it must
// move; then the measure and the encoder behind it, on small known signals.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <numeric>
#include <tuple>

#include "audio/decoded_track.h"
#include "tools/beat_match.h"
#include "tools/mp3_writer.h"
#include "tools/plus_size_spread.h"
#include "tools/synth_voices.h"
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
    const auto first = track.samples.begin() + std::min<long>(std::lround(from * 44100) * 2, track.samples.size());
    const auto last = track.samples.begin() + std::min<long>(std::lround(to * 44100) * 2, track.samples.size());
    const double meanSquare = std::inner_product(first, last, first, 0.0) / std::max<double>(last - first, 1.0);
    return 10.0 * std::log10(std::max(meanSquare, 1e-20));
}

// Sines of amplitude 0.1 centred on every other bin the plus field reads (3,
// 5, ..., 57): each of those bins reads exactly 0.05 while the comb sounds.
// `sounds(seconds)` says when it does.
template<typename When> DecodedTrack binComb(double seconds, When sounds)
{
    DecodedTrack track;
    const size_t frames = static_cast<size_t>(seconds * 44100);
    track.samples.assign(frames * 2, 0.0f);
    for (size_t i = 0; i < frames; ++i) {
        if (!sounds(static_cast<double>(i) / 44100.0))
            continue;
        double v = 0.0;
        for (int bin = kPlusFirstBin; bin <= kPlusLastBin; bin += 2)
            v += 0.1 * std::sin(2.0 * 3.141592653589793 * bin * static_cast<double>(i) / 2048.0);
        track.samples[i * 2] = track.samples[i * 2 + 1] = static_cast<float>(v);
    }
    return track;
}

}  // namespace

TEST(MusicTrack, DecodesToTheShowsLengthBelowMinusOneDecibelWithItsSections)
{
    const DecodedTrack& track = generatedTrack();
    // Exactly the 135 s rendered: the gapless tag made it into the file, so
    // the decoder trimmed the encoder's delay and padding.
    EXPECT_EQ(track.frames(), size_t {135 * 44100});
    const float peak = std::fabs(std::ranges::max(track.samples, {}, [](float s) { return std::fabs(s); }));
    EXPECT_LT(20.0 * std::log10(peak), -1.0);
    EXPECT_GT(20.0 * std::log10(peak), -6.0) << "the mix is not needlessly quiet";
    EXPECT_LT(rmsDecibels(track, 0.0, 1.0), rmsDecibels(track, 3.0, 4.0) - 6.0) << "the opening pad swells";
    EXPECT_LT(rmsDecibels(track, 69.2, 71.8), rmsDecibels(track, 60.0, 68.0) - 3.0) << "the break drops the drums";
    EXPECT_LT(rmsDecibels(track, 126.0, 130.0), rmsDecibels(track, 112.0, 120.0) - 3.0) << "the drums fall away";
    EXPECT_LT(rmsDecibels(track, 133.5, 134.0), -50.0) << "faded out by the end of the show";
    EXPECT_LT(rmsDecibels(track, 134.0, 135.0), -90.0);
}

TEST(MusicTrack, KicksPlayEveryBeatOutsideTheBreakTheBeatDetectorFindsThemAndTheSpritesBreathe)
{
    std::vector<int64_t> onsets, expected;
    ASSERT_TRUE(readKickOnsets(BRINDLE_KICK_ONSETS_FILE, onsets));
    for (int64_t ms = 20000; ms < 122000; ms += 500) {
        if (ms < 69000 || ms >= 72000)
            expected.push_back(ms);
    }
    EXPECT_EQ(onsets, expected);
    const BeatMatch match = matchBeatsToKicks(generatedTrack(), onsets, 20000, 122000);
    EXPECT_GE(match.hitRate(), 0.95) << match.hits << " of " << match.kicks << " kicks hit";
    EXPECT_LE(match.strayRate(), 0.05) << match.strayFrames << " of " << match.beatFrames << " beat frames stray";
    // The plus field's sprites breathe with it, before the beats and after.
    EXPECT_GE(plusSizeSpread(generatedTrack(), 4000, 20000), 0.5);
    EXPECT_GE(plusSizeSpread(generatedTrack(), 20000, 27000), 0.5);
}

TEST(PlusSizeSpread, MedianOverTheBinsOfTheSizeSwingInTheSpan)
{
    const double swing = 2.0 * std::sin(0.5);  // size at level 0.05 minus size at level 0
    for (const auto& [name, track, fromMs, toMs, spread] :
        std::vector<std::tuple<const char*, DecodedTrack, int64_t, int64_t, double>> {
            {"a steady comb", binComb(4.0, [](double) { return true; }), 1000, 4000, 0.0},
            {"the comb on and off every half second", binComb(4.0, [](double t) { return std::fmod(t, 1.0) < 0.5; }),
                1000, 4000, swing},
            {"on and off only before the span",
                binComb(4.0, [](double t) { return t > 1.5 || std::fmod(t, 1.0) < 0.5; }), 2000, 4000, 0.0},
        }) {
        SCOPED_TRACE(name);
        EXPECT_NEAR(plusSizeSpread(track, fromMs, toMs), spread, 0.01);
    }
}

TEST(Voices, NotesAtTheBufferEdgesStayInside)
{
    StereoBuffer buffer(secondsToFrames(0.2));
    renderKick(buffer, -secondsToFrames(0.1), KickSettings {});
    renderLead(buffer, buffer.frames() - 1, secondsToFrames(1.0), 72.0f, 0.1f);
    EXPECT_NE(buffer.left.front(), 0.0f) << "the tail of the early kick is there";
}

TEST(Mp3Writer, FailureNamesThePathAndLeavesNothing)
{
    std::string error;
    const std::string path = "/nonexistent-folder/track.mp3";
    EXPECT_FALSE(writeMp3File(path, StereoBuffer(4410), Mp3Settings {}, error));
    EXPECT_NE(error.find(path), std::string::npos);

    const std::string uneven = ::testing::TempDir() + "brindle_uneven.mp3";
    std::filesystem::remove(uneven);
    StereoBuffer lopsided(4410);
    lopsided.right.pop_back();
    EXPECT_FALSE(writeMp3File(uneven, lopsided, Mp3Settings {}, error));
    EXPECT_FALSE(std::filesystem::exists(uneven));
}
