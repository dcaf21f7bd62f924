// The sync meter's alignment: the heard position found, shows judged as heard
// and seen, and frame logs read.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <functional>
#include <random>

#include "tests/support/process.h"
#include "tools/sync_alignment.h"

namespace {

constexpr int kRate = 8000;

// Noise, so that every stretch of the track is unlike every other.
std::vector<float> noiseTrack(double seconds, int rate = kRate, unsigned seed = 7)
{
    std::mt19937 random(seed);
    std::uniform_real_distribution<float> level(-0.5f, 0.5f);
    std::vector<float> track(static_cast<size_t>(seconds * rate));
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
    // Muted for a moment is not a skip: the music went on where it would have been.
    EXPECT_TRUE(figures.jumps.empty());
    // Only windows that straddle a start or an edge of the gap go unmatched.
    EXPECT_GE(figures.matchedWindows, figures.windows - 3);
    // The music is first heard once the half second of silence is over, within a window.
    EXPECT_NEAR(figures.firstHeardMs, 500.0, 2048.0 * 1000.0 / kRate);
}

namespace {

// A show measured through a sink: the sink plays its samples at `speed`
// times the nominal rate, the recording may lose blocks, and the music may
// skip; the picture is the heard position plus `error(t)`, drawn 60 times
// a second and, where `seenMs` > 0, seen that long after its swap.
struct SinkRun {
    const char* name;
    std::function<double(double)> error;  // ms the picture is ahead, at t s from the start
    double speed;
    int lostEverySecond;     // recording samples lost once a second
    int skippedEverySecond;  // track samples the sink skips once a second
    bool silent;
    double seenMs;
    SyncFault expected;
};

}  // namespace

TEST(SyncAlignment, ShowsAreJudgedAsTheyWereHeardAndSeen)
{
    const auto none = [](double) { return 0.0; };
    const SinkRun runs[] = {
        {"honest", none, 1.0, 0, 0, false, 0.0, SyncFault::None},
        {"honest and seen 25 ms after the swap", none, 1.0, 0, 0, false, 25.0, SyncFault::None},
        {"sink 1 % slow", none, 0.99, 0, 0, false, 0.0, SyncFault::None},
        {"recording loses 512 samples a second", none, 1.0, 512, 0, false, 0.0, SyncFault::None},
        {"30 ms ahead", [](double) { return 30.0; }, 1.0, 0, 0, false, 0.0, SyncFault::Median},
        {"250 ms ahead", [](double) { return 250.0; }, 1.0, 0, 0, false, 0.0, SyncFault::FewMatched},
        {"clock stands for half a second",
            [](double t) { return t >= 4.0 && t < 4.5 ? -(t - 4.0) * 1000.0 : 0.0; }, 1.0, 0, 0, false, 0.0,
            SyncFault::OutOfStep},
        {"sink skips 512 samples a second", none, 1.0, 0, 512, false, 0.0, SyncFault::MusicSkipped},
        {"no music", none, 1.0, 0, 0, true, 0.0, SyncFault::Silent},
    };
    constexpr int rate = 44100;
    constexpr double seconds = 12.0;
    const std::vector<float> track = noiseTrack(20.0, rate, 11);
    SyncLimits limits;
    limits.medianLoMs = -5.0;
    limits.medianHiMs = 5.0;
    limits.maxP95Ms = 10.0;

    for (const SinkRun& run : runs) {
        SCOPED_TRACE(run.name);
        SyncInput in;
        in.sampleRate = rate;
        in.track = track;
        const int64_t t0 = 5'000'000'000'000;
        const double trackStart = 3.0 * rate;  // the track sample the sink plays first
        // The sink plays sample j at j / (rate * speed) s; each second some
        // of its samples never reach the recording, or it jumps ahead in the track.
        const auto heardNs = [&](int64_t j) { return t0 + static_cast<int64_t>(j * 1e9 / (rate * run.speed)); };
        const auto trackAt = [&](int64_t j) { return trackStart + j + (j / rate) * run.skippedEverySecond; };
        const auto sinkSamples = static_cast<int64_t>(seconds * rate * run.speed);
        for (int64_t j = 0; j < sinkSamples; ++j) {
            if (run.lostEverySecond > 0 && j % rate < run.lostEverySecond && j >= rate)
                continue;
            in.recording.push_back(run.silent ? 0.0f : track[static_cast<size_t>(trackAt(j))]);
            if (in.recording.size() % 441 == 0)
                in.stamps.push_back({static_cast<int64_t>(in.recording.size()), heardNs(j + 1)});
        }
        for (double t = 0.1; t < seconds - 0.2; t += 1.0 / 60.0) {
            const auto j = static_cast<int64_t>(t * rate * run.speed);
            const double showMs = trackAt(j) * 1000.0 / rate + run.error(t);
            const int64_t seen = t0 + static_cast<int64_t>(t * 1e9);
            const int64_t seenOffset = static_cast<int64_t>(run.seenMs * 1e6);
            in.frames.push_back({showMs, seen - seenOffset, run.seenMs > 0.0 ? seen : 0});
        }

        const SyncFigures figures = measureSync(in);
        std::string why;
        EXPECT_EQ(judgeSync(figures, limits, why), run.expected) << why;
        EXPECT_EQ(why.empty(), run.expected == SyncFault::None);
        if (run.expected == SyncFault::None) {
            EXPECT_NEAR(figures.medianMs, 0.0, 0.5);
            EXPECT_LT(figures.p95AbsMs, 1.0);
            EXPECT_NEAR(figures.rateErrorPpm, (run.speed - 1.0) * 1e6, 50.0);
            EXPECT_EQ(figures.seenFrames, run.seenMs > 0.0 ? figures.frames : 0);
        }
        if (run.expected == SyncFault::MusicSkipped) {
            ASSERT_EQ(figures.jumps.size(), static_cast<size_t>(seconds) - 1);
            EXPECT_NEAR(figures.jumps.front().stepMs, 512.0 * 1000.0 / rate, 0.1);
        }
    }
}

TEST(SyncAlignment, FrameLogsAreReadToTheirLastWholeLineAndOtherFilesRefused)
{
    const ScratchDir scratch("frame-log");
    const auto path = scratch.path() / "frames.csv";
    struct Case {
        const char* text;
        bool ok;
        size_t frames;
        int64_t lastSeenNs;
    };
    const Case cases[] = {
        {"frame,show_ms,swap_ns,beat\n0,20000.000,5000,0\n1,20016.500,21000,1\n2,200", true, 2, 0},
        {"frame,show_ms,swap_ns,beat,seen_ns\n0,20000.000,5000,0,0\n1,20016.500,21000,1,38000\n"
         "2,20033.000,37000,0,5400",
            true, 2, 38000},
        {"frame;show_ms\n0;1\n", false, 0, 0},
        {"frame,show_ms,swap_ns,beat\n0,x,5,0\n1,2,3,0\n", false, 0, 0},
        {"frame,show_ms,swap_ns,beat,seen_ns\n0,1,5,0\n1,2,6,0,9\n", false, 0, 0},
        {"frame,show_ms,swap_ns,beat\n0,1,5,0,7\n", false, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        std::ofstream(path) << c.text;
        std::string error;
        std::vector<LoggedFrame> frames;
        EXPECT_EQ(readFrameLog(path.string(), frames, error), c.ok);
        EXPECT_EQ(error.empty(), c.ok);
        if (!c.ok)
            continue;
        ASSERT_EQ(frames.size(), c.frames);
        EXPECT_EQ(frames.back().showMs, 20016.5);
        EXPECT_EQ(frames.back().swapNs, 21000);
        EXPECT_EQ(frames.back().seenNs, c.lastSeenNs);
    }
}
