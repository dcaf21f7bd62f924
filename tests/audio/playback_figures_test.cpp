#include <gtest/gtest.h>

#include "audio/playback_stats.h"

namespace {

TEST(PlaybackStats, CountsBeatsInsideTheWindowAndKeepsTheLargestDrift) {
  BeatDetector beating, quiet;
  beating.beatFlags[0] = 1;
  PlaybackStats stats;
  for (uint32_t ms : {0u, 19999u, 20000u, 60000u, 122000u, 122001u}) stats.noteFrame(ms, beating);
  stats.noteFrame(50000, quiet);
  EXPECT_EQ(stats.beats(), 3);
  stats.noteDrift(1000, 995.5);
  stats.noteDrift(2000, 2012.25);
  stats.noteDrift(3000, 3001.0);
  EXPECT_DOUBLE_EQ(stats.maxDriftMs(), 12.25);
}

}  // namespace
