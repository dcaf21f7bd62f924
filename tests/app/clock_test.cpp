#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "app/frame_clock.h"
#include "app/playback_clock.h"
#include "test_tracks.h"

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

// Our module, loaded into an offline back end whose position the test sets.
struct ClockRig {
    std::unique_ptr<OfflineAudioBackend> backend = makeOfflineAudioBackend();
    MusicPlayer music;
    ClockRig()
    {
        const std::string path = tempPath("clock.mod");
        EXPECT_TRUE(writeFile(path, makeKickModule()) && backend->init(44100));
        EXPECT_EQ(music.loadMusic(*backend, path), 0);
    }
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

TEST(PlaybackClock, CountsThePlaybackPositionAndFreezesWhenStopped)
{
    ClockRig rig;
    auto& [backend, music] = rig;
    PlaybackClock clock(*backend, music);
    ASSERT_TRUE(clock.start());
    backend->setPositionMs(500.0);
    EXPECT_EQ(clock.tickCount(), 0u) << "nothing is heard before the music starts";
    backend->setPositionMs(0.0);
    startMusic(*backend, music, true);
    backend->setPositionMs(1234.9);
    EXPECT_EQ(clock.tickCount(), 1234u);
    backend->setPositionMs(100000.0);  // past the track's end the output keeps time
    EXPECT_EQ(clock.tickCount(), 100000u);
    clock.stop();
    backend->setPositionMs(120000.0);
    EXPECT_EQ(clock.tickCount(), 100000u);
}

TEST(PlaybackClock, CarriesOnWithRealTimeWhenThePositionStalls)
{
    ClockRig rig;
    auto& [backend, music] = rig;
    PlaybackClock clock(*backend, music, 30);
    clock.start();
    startMusic(*backend, music, true);
    backend->setPositionMs(700.0);
    EXPECT_EQ(clock.tickCount(), 700u);
    std::this_thread::sleep_for(std::chrono::milliseconds(60));
    EXPECT_EQ(clock.tickCount(), 700u) << "the stall is noticed, the count does not jump";
    EXPECT_FALSE(clock.followsMusic());
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_GE(clock.tickCount(), 750u);
}
