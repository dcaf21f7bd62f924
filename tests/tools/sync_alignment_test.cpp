#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <random>

#include "tests/support/process.h"
#include "tools/sync_alignment.h"

namespace {

constexpr int kRate = 8000;

// Noise, so that every stretch of the track is unlike every other.
std::vector<float> noiseTrack(double seconds)
{
    std::mt19937 random(7);
    std::uniform_real_distribution<float> level(-0.5f, 0.5f);
    std::vector<float> track(static_cast<size_t>(seconds * kRate));
    for (float& sample : track)
        sample = level(random);
    return track;
}

}  // namespace

// A recording that starts in silence, plays the track from 3 s, drops 0.1 s
// (an underrun: the listener hears silence, then the track where it would
// have been) and has one late stamp; the picture runs 7 ms ahead of it.
TEST(SyncAlignment, FindsTheHeardPositionAcrossSilenceGapsAndLateStamps)
{
    SyncInput in;
    in.sampleRate = kRate;
    in.track = noiseTrack(10.0);
    const int64_t t0 = 1'000'000'000'000;
    const auto at = [](double s) { return static_cast<size_t>(s * kRate); };
    in.recording.assign(at(0.5), 0.0f);  // before the music
    // Heard track position (s) for each recording sample after the silence.
    std::vector<double> heardAt(at(0.5), -1.0);
    for (size_t k = 0; k < at(4.0); ++k) {
        const double t = static_cast<double>(k) / kRate;
        const bool dropped = t >= 2.0 && t < 2.1;
        in.recording.push_back(dropped ? 0.0f : in.track[at(3.0) + k]);
        heardAt.push_back(dropped ? -1.0 : 3.0 + t);
    }
    for (size_t k = 80; k <= in.recording.size(); k += 80) {
        const bool late = k == 8000;
        in.stamps.push_back({static_cast<int64_t>(k), t0 + static_cast<int64_t>(k) * 1'000'000'000 / kRate
                + (late ? 40'000'000 : 0)});
    }
    for (size_t k = 0; k < in.recording.size(); k += 80) {
        if (heardAt[k] < 0.0)
            continue;
        in.frames.push_back({heardAt[k] * 1000.0 + 7.0, t0 + static_cast<int64_t>(k) * 1'000'000'000 / kRate});
    }

    const SyncFigures figures = measureSync(in);
    EXPECT_GT(figures.frames, static_cast<int>(in.frames.size() * 9 / 10));
    EXPECT_NEAR(figures.medianMs, 7.0, 0.2);
    EXPECT_NEAR(figures.p95AbsMs, 7.0, 0.5);
    // Only windows that straddle a start or an edge of the gap go unmatched.
    EXPECT_GE(figures.matchedWindows, figures.windows - 3);
    // The music is first heard once the half second of silence is over, within a window.
    EXPECT_NEAR(figures.firstHeardMs, 500.0, 2048.0 * 1000.0 / kRate);

    // A picture far outside the search window finds no match rather than a wrong one.
    for (LoggedFrame& frame : in.frames)
        frame.showMs += 1000.0;
    EXPECT_EQ(measureSync(in).frames, 0);
}

TEST(SyncAlignment, FrameLogsAreReadToTheirLastWholeLineAndOtherFilesRefused)
{
    const ScratchDir scratch("frame-log");
    const auto path = scratch.path() / "frames.csv";
    const auto readBack = [&](const std::string& text, std::vector<LoggedFrame>& frames) {
        std::ofstream(path) << text;
        std::string error;
        frames.clear();
        const bool ok = readFrameLog(path.string(), frames, error);
        EXPECT_EQ(ok, error.empty());
        return ok;
    };
    std::vector<LoggedFrame> frames;
    ASSERT_TRUE(readBack("frame,show_ms,swap_ns,beat\n0,20000.000,5000,0\n1,20016.500,21000,1\n2,200", frames));
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_EQ(frames[1].showMs, 20016.5);
    EXPECT_EQ(frames[1].swapNs, 21000);
    EXPECT_FALSE(readBack("frame;show_ms\n0;1\n", frames));
    EXPECT_FALSE(readBack("frame,show_ms,swap_ns,beat\n0,x,5,0\n1,2,3,0\n", frames));
}
