#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "audio/playback_clock.h"
#include "audio/playback_stats.h"
#include "test_tracks.h"

namespace {

TEST(PlaybackStats, CountsBeatsInsideTheWindow) {
  BeatDetector beating, quiet;
  beating.beatFlags[0] = 1;
  PlaybackStats stats;
  for (uint32_t ms : {0u, 19999u, 20000u, 60000u, 122000u, 122001u}) stats.noteFrame(ms, beating);
  stats.noteFrame(50000, quiet);
  EXPECT_EQ(stats.beats(), 3);
}

// Our module, loaded into an offline back end whose position the test sets.
struct ClockRig {
  std::unique_ptr<OfflineAudioBackend> backend = makeOfflineAudioBackend();
  MusicPlayer music;
  ClockRig() {
    const std::string path = tempPath("clock.mod");
    EXPECT_TRUE(writeFile(path, makeKickModule()) && backend->init(44100));
    EXPECT_EQ(music.loadMusic(*backend, path), 0);
  }
};

TEST(PlaybackClock, CountsThePlaybackPositionAndFreezesWhenStopped) {
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

TEST(PlaybackClock, CarriesOnWithRealTimeWhenThePositionStalls) {
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

}  // namespace
