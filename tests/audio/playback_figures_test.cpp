#include <gtest/gtest.h>

#include "audio/playback_stats.h"

namespace {

TEST(PlaybackStats, CountsBeatsInsideTheWindow) {
  BeatDetector beating, quiet;
  beating.beatFlags[0] = 1;
  PlaybackStats stats(20000, 122000);
  for (uint32_t ms : {0u, 19999u, 20000u, 60000u, 122000u, 122001u}) stats.noteFrame(ms, beating);
  stats.noteFrame(50000, quiet);
  EXPECT_EQ(stats.beats(), 3);
}

}  // namespace
