// The sync meter's alignment: the heard position found, shows judged as heard
// and seen, and frame logs read.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <functional>
#include <random>
#include <tuple>

#include "tests/support/process.h"
#include "tools/sync_alignment.h"

TEST(SyncAlignment, ShowsAreJudgedAsTheyWereHeardAndSeen)
{
    const auto none = [](double) { return 0.0; };
    constexpr int rate = 44100;
    constexpr double seconds = 12.0;
    // Noise, so that every stretch of the track is unlike every other.
    std::mt19937 random(11);
    std::uniform_real_distribution<float> level(-0.5f, 0.5f);
    std::vector<float> track(static_cast<size_t>(20 * rate));
    std::ranges::generate(track, [&] { return level(random); });
    const SyncLimits limits {.medianLoMs = -5.0, .medianHiMs = 5.0, .maxP95Ms = 10.0};

    // A show measured through a sink: the recording starts half a second before
    // the sink plays, one of its stamps comes 40 ms late, the sink plays its
    // samples at `speed` times the nominal rate, the recording loses `lost`
    // samples and the sink skips `skipped` of the track once a second, the
    // music may be `silent` or, in an `underrun`, silent from 2 s to 2.1 s and
    // then where it would have been; the picture is the heard position plus
    // `error(t)` ms at t s, drawn 60 times a second and, where `seenMs` > 0,
    // seen that long after its swap.
    for (const auto& [name, error, speed, lost, skipped, silent, underrun, seenMs, expected] :
        std::vector<
            std::tuple<const char*, std::function<double(double)>, double, int, int, bool, bool, double, SyncFault>> {
            {"honest through an underrun", none, 1.0, 0, 0, false, true, 0.0, SyncFault::None},
            {"honest and seen 25 ms after the swap", none, 1.0, 0, 0, false, false, 25.0, SyncFault::None},
            {"sink 1 % slow", none, 0.99, 0, 0, false, false, 0.0, SyncFault::None},
            {"recording loses 512 samples a second", none, 1.0, 512, 0, false, false, 0.0, SyncFault::None},
            {"30 ms ahead", [](double) { return 30.0; }, 1.0, 0, 0, false, false, 0.0, SyncFault::Median},
            {"250 ms ahead", [](double) { return 250.0; }, 1.0, 0, 0, false, false, 0.0, SyncFault::FewMatched},
            {"clock stands for half a second", [](double t) { return t >= 4.0 && t < 4.5 ? -(t - 4.0) * 1000.0 : 0.0; },
                1.0, 0, 0, false, false, 0.0, SyncFault::OutOfStep},
            {"sink skips 512 samples a second", none, 1.0, 0, 512, false, false, 0.0, SyncFault::MusicSkipped},
            {"no music", none, 1.0, 0, 0, true, false, 0.0, SyncFault::Silent},
        }) {
        SCOPED_TRACE(name);
        SyncInput in;
        in.sampleRate = rate;
        in.track = track;
        const int64_t t0 = 5'000'000'000'000;
        const double trackStart = 3.0 * rate;  // the track sample the sink plays first
        // The sink plays sample j at j / (rate * speed) s; each second some
        // of its samples never reach the recording, or it jumps ahead in the track.
        const auto heardNs = [&](int64_t j) { return t0 + static_cast<int64_t>(j * 1e9 / (rate * speed)); };
        const auto trackAt = [&](int64_t j) { return trackStart + j + (j / rate) * skipped; };
        const auto sinkSamples = static_cast<int64_t>(seconds * rate * speed);
        in.recording.assign(rate / 2, 0.0f);
        for (int64_t j = 0; j < sinkSamples; ++j) {
            if (lost > 0 && j % rate < lost && j >= rate)
                continue;
            const bool muted = silent || (underrun && j >= 2 * rate && j < 2 * rate + rate / 10);
            in.recording.push_back(muted ? 0.0f : track[static_cast<size_t>(trackAt(j))]);
            if (in.recording.size() % 441 == 0)
                in.stamps.push_back({static_cast<int64_t>(in.recording.size()),
                    heardNs(j + 1) + (in.stamps.size() == 100 ? 40'000'000 : 0)});
        }
        for (double t = 0.1; t < seconds - 0.2; t += 1.0 / 60.0) {
            const auto j = static_cast<int64_t>(t * rate * speed);
            const double showMs = trackAt(j) * 1000.0 / rate + error(t);
            const int64_t seen = t0 + static_cast<int64_t>(t * 1e9);
            const int64_t seenOffset = static_cast<int64_t>(seenMs * 1e6);
            in.frames.push_back({showMs, seen - seenOffset, seenMs > 0.0 ? seen : 0});
        }

        const SyncFigures figures = measureSync(in);
        std::string why;
        EXPECT_EQ(judgeSync(figures, limits, why), expected) << why;
        EXPECT_EQ(why.empty(), expected == SyncFault::None);
        if (expected == SyncFault::None || expected == SyncFault::Median) {
            EXPECT_NEAR(figures.medianMs, error(0.0), 0.5);
        }
        if (expected == SyncFault::None) {
            // The music is first heard once the half second of silence is over, within a window.
            EXPECT_NEAR(figures.firstHeardMs, 500.0, 2048.0 * 1000.0 / rate);
            // Only windows that straddle the start, an edge of the underrun or a lost block go unmatched.
            EXPECT_GE(figures.matchedWindows, figures.windows - 3 - (lost > 0 ? 11 : 0));
            EXPECT_LT(figures.p95AbsMs, 1.0);
            EXPECT_NEAR(figures.rateErrorPpm, (speed - 1.0) * 1e6, 50.0);
            EXPECT_EQ(figures.seenFrames, seenMs > 0.0 ? figures.frames : 0);
        }
        if (expected == SyncFault::MusicSkipped) {
            ASSERT_EQ(figures.jumps.size(), static_cast<size_t>(seconds) - 1);
            EXPECT_NEAR(figures.jumps.front().stepMs, 512.0 * 1000.0 / rate, 0.1);
        }
    }
}

TEST(SyncAlignment, FrameLogsAreReadToTheirLastWholeLineAndOtherFilesRefused)
{
    const ScratchDir scratch("frame-log");
    const auto path = scratch.path() / "frames.csv";
    std::string error;
    std::vector<LoggedFrame> frames;
    std::ofstream(path) << "frame,show_ms,swap_ns,beat,seen_ns\n0,20000.000,5000,0,0\n1,20016.500,21000,1,38000\n"
                           "2,20033.000,37000,0,5400";
    ASSERT_TRUE(readFrameLog(path.string(), frames, error)) << error;
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_EQ(std::tuple(frames[1].showMs, frames[1].swapNs, frames[1].seenNs), std::tuple(20016.5, 21000, 38000));
    for (const char* text : {"frame;show_ms\n0;1\n", "frame,show_ms,swap_ns,beat\n0,x,5,0\n1,2,3,0\n",
             "frame,show_ms,swap_ns,beat,seen_ns\n0,1,5,0\n1,2,6,0,9\n", "frame,show_ms,swap_ns,beat\n0,1,5,0,7\n"}) {
        std::ofstream(path) << text;
        std::string why;
        EXPECT_FALSE(readFrameLog(path.string(), frames, why)) << text;
        EXPECT_FALSE(why.empty()) << text;
    }
}
