#include <gtest/gtest.h>

#include <array>

#include "audio/beat_detector.h"

namespace {

// Feeds one frame whose 1024 bins all hold `level` (so the energy is `level`).
int feed(BeatDetector& beats, float level) {
  static std::array<float, 1024> bins;
  bins.fill(level);
  beats.analyse(bins.data());
  return beats.beatFlags[0];
}

TEST(BeatDetector, FirstSoundIsABeatSilenceNeverIsASteadyToneOnlyOnce) {
  BeatDetector silence;
  for (int frame = 0; frame < 100; ++frame) ASSERT_EQ(feed(silence, 0.0f), 0);

  BeatDetector tone;
  EXPECT_EQ(tone.spectrum, nullptr);
  EXPECT_EQ(feed(tone, 0.3f), 1);
  EXPECT_NE(tone.spectrum, nullptr);
  EXPECT_NEAR(tone.bandEnergy[0], 0.3f, 1e-5f);
  for (int frame = 0; frame < 200; ++frame) ASSERT_EQ(feed(tone, 0.3f), 0) << frame;
}

TEST(BeatDetector, EnergyExactlyOnePointFourTimesTheAverageIsNoBeat) {
  // 0.3125 * 1.4 is 0.4375 exactly in double precision, and both are exact floats.
  BeatDetector atThreshold;
  feed(atThreshold, 0.3125f);
  EXPECT_EQ(feed(atThreshold, 0.4375f), 0);
  BeatDetector above;
  feed(above, 0.3125f);
  EXPECT_EQ(feed(above, 0.43751f), 1);
}

TEST(BeatDetector, AverageCoversOnlyFilledSlotsBeforeTheCurrentFrame) {
  BeatDetector beats;
  feed(beats, 1.0f);
  EXPECT_EQ(feed(beats, 3.0f), 1);   // average of {1}
  EXPECT_EQ(feed(beats, 2.9f), 1);   // average of {1, 3} = 2
  EXPECT_EQ(feed(beats, 3.0f), 0);   // average of {1, 3, 2.9} = 2.3
}

TEST(BeatDetector, HistoryIsFullAfter43UpdatesAndThenSlides) {
  BeatDetector beats;
  ASSERT_EQ(beats.history(0), std::vector<float>(43, -1.0f));
  for (int frame = 1; frame <= 43; ++frame) feed(beats, static_cast<float>(frame));
  auto history = beats.history(0);
  for (int i = 0; i < 43; ++i) EXPECT_EQ(history[i], static_cast<float>(i + 1));
  // The average of 1..43 is 22, and 30 is not above 1.4 x 22; then the oldest entry leaves.
  EXPECT_EQ(feed(beats, 30.0f), 0);
  history = beats.history(0);
  EXPECT_EQ(history.front(), 2.0f);
  EXPECT_EQ(history.back(), 30.0f);
}

}  // namespace
