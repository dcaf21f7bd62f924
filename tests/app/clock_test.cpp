// The frame clocks: show time and frame step from the fixed-step clock, and
// the playback clock following the music through pauses, jumps and stalls.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "app/frame_clock.h"
#include "app/playback_clock.h"
#include "tests/support/fake_audio_backend.h"

namespace {

struct ScriptedReads : FrameClock {
    std::vector<uint32_t> reads;
    mutable size_t next = 0;

    bool start() override { return true; }
    void stop() override { }
    uint32_t tickCount() const override { return reads[next++ % reads.size()]; }
};

// A device whose position the test moves: it plays while started and not
// stalled; seek() puts it anywhere.
struct FakeDevice final : FakeAudioBackend {
    double position = 0.0;
    bool playing = false, stalled = false;
    int seeks = 0;

    void start() override { playing = true; }
    void seek(AudioHandle, double ms) override
    {
        position = ms;
        ++seeks;
    }
    void stop() override { playing = false; }
    double positionMs(AudioHandle) const override { return position; }
};

// The fake device, the music on it and a playback clock on a steady clock the test moves.
struct ClockOnDevice {
    FakeDevice device;
    MusicPlayer music;
    double now = 0.0;
    PlaybackClock clock {device, music, [this] { return now; }};

    // Loads the music, starts the clock, then the music, as the show does.
    bool start(double offsetMs = 0.0)
    {
        clock.setAudioOffsetMs(offsetMs);
        if (music.loadMusic(device, "a.mp3") != 0 || !clock.start())
            return false;
        startMusic(device, music, true);
        return true;
    }
};

}  // namespace

TEST(FrameTime, StepsComeFromTheFirstReadUnsignedAndNeverZeroAndFixedStepsFloor)
{
    // Elapsed from the first read, show time from the second; the tick seen only
    // by the second read is not lost to the next frame.
    ScriptedReads clock;
    clock.reads = {40, 41, 40, 40};
    const FrameTime first = readFrameTime(clock);
    EXPECT_EQ(std::pair(first.showTimeMs, first.frameStep), std::pair(41u, 0.08f));
    EXPECT_EQ(readFrameTime(clock).frameStep, 0.002f);

    ScriptedReads wrapped;
    wrapped.reads = {0x10, 0x10};
    wrapped.previousTicks = 0xFFFFFFF0u;
    EXPECT_EQ(readFrameTime(wrapped).frameStep, 32.0f / 500.0f);

    FixedStepClock fixed(60);
    ASSERT_TRUE(fixed.start());
    std::vector<uint32_t> times;
    for (int k = 0; k < 4; ++k, fixed.frameDone())
        times.push_back(readFrameTime(fixed).showTimeMs);
    EXPECT_EQ(times, (std::vector<uint32_t> {0, 16, 33, 50}));
}

// 60 frames a second for 6 s, two reads a frame, against the fake device.
// Only the user moves the music: a picture the music left behind holds until
// the music reaches it.
TEST(PlaybackClock, FollowsTheMusicThroughPausesJumpsAndStalls)
{
    enum class Event { None, Pause, Resume, Jump, StallBegins, StallEndsWhereItStopped, StallEndsOnTime, NeverStarts };
    using enum Event;
    constexpr double kFrameMs = 1000.0 / 60.0;
    // Events at steady ms, in order.
    for (const auto& [name, events, jumpMs] :
        std::vector<std::tuple<const char*, std::vector<std::pair<double, Event>>, double>> {
            {"pauses", {{1000, Pause}, {1500, Resume}}, 0},
            {"jumps back", {{3000, Jump}}, 500},
            {"holds 2 frames: jitter, closed by slewing", {{1000, StallBegins}, {1030, StallEndsWhereItStopped}}, 0},
            {"stalls 0.2 s", {{1000, StallBegins}, {1200, StallEndsWhereItStopped}}, 0},
            {"stalls 0.5 s, resumes on time", {{1000, StallBegins}, {1500, StallEndsOnTime}}, 0},
            {"jumps while stalled", {{1000, StallBegins}, {1200, Jump}, {1700, StallEndsWhereItStopped}}, 3000},
            {"never starts", {{0, NeverStarts}}, 0},
        }) {
        SCOPED_TRACE(name);
        ClockOnDevice rig;
        ASSERT_TRUE(rig.start());
        auto& [device, music, now, clock] = rig;

        size_t next = 0;
        int jumps = 0;
        bool holding = false, paused = false;
        double previous = clock.showMs(), stallEnd = -1.0, agreedAfterStall = -1.0, lastPosition = 0.0;
        for (double t = kFrameMs; t < 6000.0; t += kFrameMs) {
            if (device.playing && !device.stalled)
                device.position += t - now;
            now = t;
            const Event event = next < events.size() && events[next].first <= t ? events[next++].second : None;
            switch (event) {
            case Pause:
                previous = clock.showMs();
                clock.pause();
                paused = true;
                break;
            case Resume: clock.resume(); break;
            case Jump:
                clock.jumpTo(static_cast<uint32_t>(jumpMs));
                ++jumps;
                break;
            case StallBegins: device.stalled = true; break;
            case StallEndsOnTime: device.position = t; [[fallthrough]];
            case StallEndsWhereItStopped:
                device.stalled = false;
                stallEnd = t;
                break;
            case NeverStarts: device.playing = false; break;
            case None: break;
            }
            // The music moves again far behind the picture: the picture holds
            // until the music reaches it.
            holding = device.position != lastPosition && previous + kFrameMs > device.position
                && (holding || previous - device.position > PlaybackClock::kResyncMs);
            lastPosition = device.position;
            clock.tickCount();
            const double show = clock.showMs();
            if (event == Jump) {
                EXPECT_EQ(show, jumpMs);
                EXPECT_EQ(device.position, jumpMs) << "the music jumps with the picture";
            } else if (paused) {
                EXPECT_EQ(show, previous) << "paused at " << t;
            } else if (holding) {
                EXPECT_EQ(show, std::max(previous, device.position)) << "holds for the music at " << t;
            } else {
                // Never backwards, never frozen, never faster than the steady clock by more than 5 %.
                EXPECT_NEAR(show - previous, kFrameMs, kFrameMs * 0.05 + 1e-9) << t;
            }
            paused = paused && event != Resume;
            if (stallEnd >= 0 && agreedAfterStall < 0 && std::fabs(show - device.position) <= 2.0)
                agreedAfterStall = t;
            if (device.playing && stallEnd < 0 && !device.stalled && t > 100 && event == None) {
                EXPECT_NEAR(show, device.position, 2.0) << "follows the music at " << t;
            }
            previous = show;
        }
        EXPECT_EQ(device.seeks, jumps) << "the music moves only when the user jumps";
        EXPECT_EQ(clock.audioSync()->musicSeeks, static_cast<uint64_t>(jumps));
        if (stallEnd >= 0 && events[1].first - events[0].first < PlaybackClock::kStallMs) {
            EXPECT_EQ(clock.audioSync()->relockMs, 0.0) << "a short hold is a server's jitter, not a stall";
        } else if (stallEnd >= 0) {
            ASSERT_GE(agreedAfterStall, 0.0) << "locks back";
            EXPECT_LE(agreedAfterStall - stallEnd, 1000.0);
            EXPECT_NEAR(clock.audioSync()->relockMs, agreedAfterStall - stallEnd, 2 * kFrameMs);
        }
        if (!device.playing) {
            EXPECT_NEAR(clock.showMs(), now, PlaybackClock::kStallMs) << "the steady clock from the start";
        }
    }
}

// Each frame is drawn for the music heard when it is seen, later by the audio
// offset: when its swap ends or, where the compositor tells, at the vblank
// that showed it. That compositor shows each frame at the second vblank after
// the loop woke for it; its vblanks come every 19.6 ms, longer than the
// 16.7 ms refresh its output declares (as a nested one's do), and the loop's
// own work jitters each read by up to 4 ms: each frame still advances by its
// vblank step. The server plays nothing for a while, then the music from its
// start: the start waits for the first sound.
TEST(PlaybackClock, ShowsEachFrameForTheMusicHeardWhenItIsSeen)
{
    constexpr double kRefreshMs = 1000.0 / 60.0, kSilentStartMs = 300.0;
    struct Row {
        double offsetMs, vblankMs, renderMs, jitterMs;  // vblankMs 0: the compositor does not tell
    };
    for (const Row& row : {Row {0, 0, 9, 0}, {100, 0, 9, 0}, {-100, 0, 9, 0}, {0, 19.6, 6, 4}, {40, 19.6, 6, 4}}) {
        SCOPED_TRACE(testing::Message() << "offset " << row.offsetMs << ", vblanks every " << row.vblankMs);
        ClockOnDevice rig;
        ASSERT_TRUE(rig.start(row.offsetMs));
        auto& [device, music, now, clock] = rig;
        const double periodMs = row.vblankMs > 0 ? row.vblankMs : kRefreshMs;
        std::vector<std::pair<double, double>> awaited;  // when a swap ended, and when its frame was seen
        double previousShow = 0.0, previousSeen = 0.0;
        unsigned jitter = 12345;
        for (int k = 1; k < 300; ++k) {
            jitter = jitter * 1103515245u + 12345u;
            now = (k - 1) * periodMs + 0.5 + (jitter >> 16) % 4000 / 1000.0 * row.jitterMs / 4.0;
            device.position = std::max(0.0, now - kSilentStartMs);
            clock.tickCount();
            const double show = clock.showMs();
            now += row.renderMs;
            clock.frameDone();
            const double seen = row.vblankMs > 0 ? (k + 1) * row.vblankMs : now;
            awaited.emplace_back(now, seen);
            // The outcomes the compositor has sent by the end of this swap.
            while (row.vblankMs > 0 && !awaited.empty() && awaited.front().second <= now) {
                clock.frameSeen(awaited.front().first, awaited.front().second, kRefreshMs);
                awaited.erase(awaited.begin());
            }
            if (now < kSilentStartMs) {
                EXPECT_EQ(show, 0.0) << "waits for the first sound, frame " << k;
            }
            if (k > 120) {
                EXPECT_NEAR(show, seen - kSilentStartMs - row.offsetMs, 2.0) << "frame " << k;
                EXPECT_NEAR(show - previousShow, seen - previousSeen, periodMs * PlaybackClock::kSlew + 1e-9)
                    << "frame " << k;
            }
            previousShow = show;
            previousSeen = seen;
        }
        EXPECT_LE(clock.audioSync()->maxDriftMs, 2.0);
    }
}
