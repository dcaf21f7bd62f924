#include <gtest/gtest.h>

#include <cmath>
#include <thread>
#include <utility>
#include <vector>

#include "app/frame_clock.h"
#include "app/playback_clock.h"

namespace {

// Answers tickCount() from a script, one value per read.
class ScriptedReads : public FrameClock {
public:
    explicit ScriptedReads(std::vector<uint32_t> reads) : reads_(std::move(reads)) {}
    bool start() override { return true; }
    void stop() override {}
    uint32_t tickCount() const override { return reads_[next_++ % reads_.size()]; }

private:
    std::vector<uint32_t> reads_;
    mutable size_t next_ = 0;
};

bool waitFor(const TickerClock& clock, uint32_t atLeast)
{
    for (int i = 0; i < 2000 && clock.tickCount() < atLeast; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return clock.tickCount() >= atLeast;
}

// A device whose position the test moves: it plays while started and not
// stalled; seek() puts it anywhere.
class FakeDevice final : public AudioBackend {
public:
    double position = 0.0;
    bool playing = false, stalled = false;
    std::string error;

    void advance(double ms)
    {
        if (playing && !stalled)
            position += ms;
    }
    bool init(int) override { return true; }
    AudioHandle openStream(const std::string&) override { return 1; }
    AudioHandle openModule(const std::string&) override { return 1; }
    void setVolume(AudioHandle, float) override {}
    void start() override { playing = true; }
    void play(AudioHandle) override {}
    void seek(AudioHandle, double ms) override { position = ms; }
    void spectrum(AudioHandle, float*) override {}
    void spectrumAt(AudioHandle, double, float*) override {}
    void stop() override { playing = false; }
    void release() override {}
    double positionMs(AudioHandle) const override { return position; }
    const DecodedTrack* track(AudioHandle) const override { return nullptr; }
    const std::string& lastError() const override { return error; }
};

enum class Event { None, Pause, Resume, Jump, StallBegins, StallEndsWhereItStopped, StallEndsOnTime, NeverStarts };

struct ClockCase {
    const char* name;
    std::vector<std::pair<double, Event>> events;  // at steady ms, in order
    double jumpMs = 0.0;
};

} // namespace

TEST(FrameStep, StepsComeFromTheFirstReadUnsignedAndNeverZero)
{
    EXPECT_EQ(frameStepFor(0), 0.002f);
    EXPECT_EQ(frameStepFor(40), 0.08f);

    // Elapsed from the first read, show time from the second; the tick seen only
    // by the second read is not lost to the next frame.
    ScriptedReads clock({40, 41, 40, 40});
    FrameTime first = readFrameTime(clock);
    EXPECT_EQ(first.showTimeMs, 41u);
    EXPECT_EQ(first.frameStep, 0.08f);
    EXPECT_EQ(readFrameTime(clock).frameStep, 0.002f);

    ScriptedReads wrapped({0x10, 0x10});
    wrapped.previousTicks = 0xFFFFFFF0u;
    EXPECT_EQ(readFrameTime(wrapped).frameStep, 32.0f / 500.0f);
}

TEST(TickerClock, CatchesUpMissedTicksAndStopFreezesTheCount)
{
    TickerClock clock;
    const auto before = std::chrono::steady_clock::now();
    ASSERT_TRUE(clock.start());
    std::this_thread::sleep_for(std::chrono::milliseconds(120));
    const auto atLeast = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - before).count();
    EXPECT_TRUE(waitFor(clock, static_cast<uint32_t>(atLeast) - 2));
    const auto after = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - before).count();
    EXPECT_LE(clock.tickCount(), static_cast<uint32_t>(after));

    clock.stop();
    const uint32_t frozen = clock.tickCount();
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(clock.tickCount(), frozen);

    clock.previousTicks = 7;
    ASSERT_TRUE(clock.start());
    EXPECT_EQ(clock.previousTicks, 0u);
    EXPECT_LT(clock.tickCount(), 30u);
    clock.stop();
}

TEST(FixedStepClock, FrameKHasTheFlooredMillisecondsOfItsIndex)
{
    FixedStepClock clock(60);
    ASSERT_TRUE(clock.start());
    std::vector<uint32_t> times;
    std::vector<float> steps;
    for (int k = 0; k < 4; ++k) {
        FrameTime t = readFrameTime(clock);
        times.push_back(t.showTimeMs);
        steps.push_back(t.frameStep);
        clock.frameDone();
    }
    EXPECT_EQ(times, (std::vector<uint32_t>{0, 16, 33, 50}));
    EXPECT_EQ(steps, (std::vector<float>{0.002f, 16 / 500.0f, 17 / 500.0f, 17 / 500.0f}));
    EXPECT_EQ(FixedStepClock::tickForFrame(8040, 60), 134000u);
    EXPECT_EQ(FixedStepClock::tickForFrame(3, 7), 428u);
}

// 60 frames a second for 6 s, two reads a frame, against the fake device.
TEST(PlaybackClock, FollowsTheMusicThroughPausesJumpsAndStalls)
{
    const ClockCase cases[] = {
        {"runs", {}},
        {"pauses", {{1000, Event::Pause}, {1500, Event::Resume}}},
        {"jumps forward", {{1000, Event::Jump}}, 9000},
        {"jumps back", {{3000, Event::Jump}}, 500},
        {"stalls 0.5 s", {{1000, Event::StallBegins}, {1500, Event::StallEndsWhereItStopped}}},
        {"stalls 3 s", {{1000, Event::StallBegins}, {4000, Event::StallEndsWhereItStopped}}},
        {"stalls 0.5 s, resumes on time", {{1000, Event::StallBegins}, {1500, Event::StallEndsOnTime}}},
        {"never starts", {{0, Event::NeverStarts}}},
    };
    constexpr double kFrameMs = 1000.0 / 60.0;
    for (const ClockCase& c : cases) {
        SCOPED_TRACE(c.name);
        FakeDevice device;
        MusicPlayer music;
        ASSERT_EQ(music.loadMusic(device, "a.mp3"), 0);
        double now = 0.0;
        PlaybackClock clock(device, music, [&now] { return now; });
        ASSERT_TRUE(clock.start());
        startMusic(device, music, true);
        device.position = 0.0;

        size_t next = 0;
        double previous = clock.showMs(), stallEnd = -1.0, agreedAfterStall = -1.0;
        int unchangedFrames = 0;
        bool pausedNow = false, jumped = false;
        for (double t = kFrameMs; t < 6000.0; t += kFrameMs) {
            device.advance(t - now);
            now = t;
            Event event = Event::None;
            if (next < c.events.size() && c.events[next].first <= t)
                event = c.events[next++].second;
            switch (event) {
            case Event::Pause:
                previous = clock.showMs();
                clock.pause();
                pausedNow = true;
                break;
            case Event::Resume: clock.resume(); break;
            case Event::Jump:
                clock.jumpTo(static_cast<uint32_t>(c.jumpMs));
                jumped = true;
                break;
            case Event::StallBegins: device.stalled = true; break;
            case Event::StallEndsWhereItStopped:
                device.stalled = false;
                stallEnd = t;
                break;
            case Event::StallEndsOnTime:
                device.stalled = false;
                device.position = t;
                stallEnd = t;
                break;
            case Event::NeverStarts: device.playing = false; break;
            case Event::None: break;
            }
            clock.tickCount();
            const double show = clock.showMs();
            if (jumped) {
                EXPECT_EQ(show, c.jumpMs);
                EXPECT_EQ(device.position, c.jumpMs) << "the music jumps with the picture";
                jumped = false;
            } else if (pausedNow) {
                EXPECT_EQ(show, previous) << "paused at " << t;
            } else {
                EXPECT_GT(show, previous) << "never backwards, never frozen, at " << t;
                EXPECT_LE(show - previous, kFrameMs * 1.05 + 1e-9) << t;
                EXPECT_GE(show - previous, kFrameMs * 0.95 - 1e-9) << t;
            }
            unchangedFrames = show == previous && !pausedNow ? unchangedFrames + 1 : 0;
            EXPECT_LE(unchangedFrames, 1);
            if (event == Event::Resume)
                pausedNow = false;
            if (stallEnd >= 0 && agreedAfterStall < 0 && std::fabs(show - device.position) <= 2.0)
                agreedAfterStall = t;
            if (device.playing && !device.stalled && stallEnd < 0 && t > 100 && event == Event::None) {
                EXPECT_NEAR(show, device.position, 2.0) << "follows the music at " << t;
            }
            previous = show;
        }
        if (stallEnd >= 0) {
            ASSERT_GE(agreedAfterStall, 0.0) << "locks back";
            EXPECT_LE(agreedAfterStall - stallEnd, 1000.0);
            EXPECT_LE(clock.audioSync()->relockMs, 1000.0);
        }
        if (c.events.empty()) {
            EXPECT_LE(clock.audioSync()->maxDriftMs, 2.0);
        }
        if (!c.events.empty() && c.events[0].second == Event::NeverStarts) {
            EXPECT_NEAR(clock.showMs(), now, 1.0) << "the steady clock from the start";
        }
    }
}
