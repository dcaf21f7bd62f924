// Encoder and beat-matching helpers on small, known signals.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

#include "audio/decoded_track.h"
#include "tools/beat_match.h"
#include "tools/mp3_writer.h"
#include "tools/plus_size_spread.h"
#include "tools/synth_voices.h"

namespace {

StereoBuffer sine(double seconds, float hz, float amplitude)
{
    StereoBuffer buffer(secondsToFrames(seconds));
    for (int64_t i = 0; i < buffer.frames(); ++i) {
        const float v = amplitude * static_cast<float>(std::sin(2.0 * 3.141592653589793 * hz * i / kSampleRate));
        buffer.left[static_cast<size_t>(i)] = v;
        buffer.right[static_cast<size_t>(i)] = -v;
    }
    return buffer;
}

// A quiet bed with loud noise bursts at the given times.
DecodedTrack burstsAt(const std::vector<int64_t>& burstMs, double seconds)
{
    DecodedTrack track;
    const size_t frames = static_cast<size_t>(seconds * 44100);
    track.samples.assign(frames * 2, 0.0f);
    NoiseSource noise(7);
    for (size_t i = 0; i < frames; ++i)
        track.samples[i * 2] = track.samples[i * 2 + 1] = 0.01f * noise.next();
    for (int64_t ms : burstMs) {
        const size_t start = static_cast<size_t>(ms * 441 / 10);
        for (size_t n = 0; n < 441 && start + n < frames; ++n) {
            const float v = 0.8f * noise.next() * std::exp(-static_cast<float>(n) / 120.0f);
            track.samples[(start + n) * 2] += v;
            track.samples[(start + n) * 2 + 1] += v;
        }
    }
    return track;
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

TEST(PlusSizeSpread, MedianOverTheBinsOfTheSizeSwingInTheSpan)
{
    const double swing = 2.0 * std::sin(0.5);  // size at level 0.05 minus size at level 0
    const struct {
        const char* name;
        DecodedTrack track;
        int64_t fromMs, toMs;
        double spread;
    } cases[] = {
        {"silence", binComb(4.0, [](double) { return false; }), 1000, 4000, 0.0},
        {"a steady comb", binComb(4.0, [](double) { return true; }), 1000, 4000, 0.0},
        {"the comb on and off every half second", binComb(4.0, [](double t) { return std::fmod(t, 1.0) < 0.5; }), 1000,
            4000, swing},
        {"on and off only before the span", binComb(4.0, [](double t) { return t > 1.5 || std::fmod(t, 1.0) < 0.5; }),
            2000, 4000, 0.0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_NEAR(plusSizeSpread(c.track, c.fromMs, c.toMs), c.spread, 0.01);
    }
}

TEST(Mp3Writer, GaplessRoundTripKeepsLengthAndSignal)
{
    const std::string path = ::testing::TempDir() + "brindle_sine.mp3";
    std::string error;
    ASSERT_TRUE(writeMp3File(path, sine(1.0, 441.0f, 0.5f), Mp3Settings {}, error)) << error;
    DecodedTrack decoded;
    ASSERT_TRUE(decodeMp3File(path, decoded, error)) << error;
    EXPECT_EQ(decoded.frames(), 44100u);
    // Same phase as the input after trimming: a sample-accurate decode.
    double dot = 0.0, energy = 0.0;
    const StereoBuffer reference = sine(1.0, 441.0f, 0.5f);
    for (size_t i = 1000; i < 43000; ++i) {
        dot += decoded.samples[i * 2] * reference.left[i];
        energy += reference.left[i] * reference.left[i];
    }
    EXPECT_GT(dot / energy, 0.95);
    std::filesystem::remove(path);
}

TEST(Mp3Writer, FailureNamesThePathAndLeavesNothing)
{
    std::string error;
    const std::string path = "/nonexistent-folder/track.mp3";
    EXPECT_FALSE(writeMp3File(path, sine(0.1, 441.0f, 0.5f), Mp3Settings {}, error));
    EXPECT_NE(error.find(path), std::string::npos);

    const std::string uneven = ::testing::TempDir() + "brindle_uneven.mp3";
    StereoBuffer lopsided = sine(0.1, 441.0f, 0.5f);
    lopsided.right.pop_back();
    EXPECT_FALSE(writeMp3File(uneven, lopsided, Mp3Settings {}, error));
    EXPECT_FALSE(std::filesystem::exists(uneven));
}

TEST(Voices, NotesAtTheBufferEdgesStayInside)
{
    StereoBuffer buffer(secondsToFrames(0.2));
    renderKick(buffer, -secondsToFrames(0.1), KickSettings {});
    renderKick(buffer, buffer.frames() - 10, KickSettings {});
    renderLead(buffer, buffer.frames() - 1, secondsToFrames(1.0), 72.0f, 0.1f);
    EXPECT_EQ(buffer.frames(), secondsToFrames(0.2));
    for (float v : buffer.left)
        ASSERT_TRUE(std::isfinite(v));
    EXPECT_NE(buffer.left.front(), 0.0f) << "the tail of the early kick is there";
    EXPECT_NE(buffer.left.back(), 0.0f);
}

TEST(BeatMatch, CountsHitsMissesAndStrayBeats)
{
    // Kicks at 1.0, 1.5, 2.0 and 2.5 s; no sound at 2.5 s and an extra burst at 2.25 s.
    const DecodedTrack track = burstsAt({1000, 1500, 2000, 2250}, 3.0);
    const BeatMatch match = matchBeatsToKicks(track, {1000, 1500, 2000, 2500}, 500, 3000);
    EXPECT_EQ(match.kicks, 4);
    EXPECT_EQ(match.hits, 3);
    ASSERT_EQ(match.missedKicksMs.size(), 1u);
    EXPECT_EQ(match.missedKicksMs[0], 2500);
    ASSERT_GE(match.strayFrames, 1);
    EXPECT_GE(match.strayBeatsMs.front(), 2250);
    EXPECT_LE(match.strayBeatsMs.front(), 2300);
}
