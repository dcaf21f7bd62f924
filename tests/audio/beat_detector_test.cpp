#include <gtest/gtest.h>

#include <array>

#include "audio/beat_detector.h"

namespace {

std::array<float, 1024> flatSpectrum(float level) {
  std::array<float, 1024> bins;
  bins.fill(level);
  return bins;
}

TEST(BeatDetector, StartsEmpty) {
  BeatDetector beats;
  EXPECT_EQ(beats.bandCount, 1);
  EXPECT_EQ(beats.binsPerBand, 1024);
  EXPECT_EQ(beats.beatFlags, std::vector<int>{0});
  EXPECT_EQ(beats.bandEnergy, std::vector<float>{0.0f});
  EXPECT_EQ(beats.spectrum, nullptr);
  const auto history = beats.history(0);
  ASSERT_EQ(history.size(), 43u);
  for (float entry : history) EXPECT_EQ(entry, -1.0f);
}

TEST(BeatDetector, FirstSoundIsABeatAndSilenceNeverIs) {
  BeatDetector sound;
  const auto tone = flatSpectrum(0.1f);
  sound.analyse(tone.data());
  EXPECT_EQ(sound.beatFlags[0], 1);
  EXPECT_EQ(sound.spectrum, tone.data());
  EXPECT_NEAR(sound.bandEnergy[0], 0.1f, 1e-6f);

  BeatDetector silence;
  const auto quiet = flatSpectrum(0.0f);
  for (int frame = 0; frame < 100; ++frame) {
    silence.analyse(quiet.data());
    EXPECT_EQ(silence.beatFlags[0], 0);
  }
}

TEST(BeatDetector, SteadyToneBeatsOnceThenNever) {
  BeatDetector beats;
  const auto tone = flatSpectrum(0.3f);
  beats.analyse(tone.data());
  EXPECT_EQ(beats.beatFlags[0], 1);
  for (int frame = 0; frame < 200; ++frame) {
    beats.analyse(tone.data());
    ASSERT_EQ(beats.beatFlags[0], 0) << "frame " << frame;
  }
}

TEST(BeatDetector, EnergyExactlyOnePointFourTimesTheAverageIsNoBeat) {
  // 0.3125 * 1.4 is 0.4375 exactly in double precision, and both are exact floats.
  const auto base = flatSpectrum(0.3125f);
  const auto atThreshold = flatSpectrum(0.4375f);
  const auto justAbove = flatSpectrum(0.43751f);
  BeatDetector beats;
  beats.analyse(base.data());
  beats.analyse(atThreshold.data());
  EXPECT_EQ(beats.bandEnergy[0], 0.4375f);
  EXPECT_EQ(beats.beatFlags[0], 0);
  BeatDetector again;
  again.analyse(base.data());
  again.analyse(justAbove.data());
  EXPECT_EQ(again.beatFlags[0], 1);
}

TEST(BeatDetector, HistoryHoldsExactlyTheLast43Frames) {
  BeatDetector beats;
  for (int frame = 1; frame <= 43; ++frame) {
    const auto bins = flatSpectrum(static_cast<float>(frame));
    beats.analyse(bins.data());
  }
  auto history = beats.history(0);
  ASSERT_EQ(history.size(), 43u);
  for (int i = 0; i < 43; ++i) EXPECT_EQ(history[i], static_cast<float>(i + 1));
  // One more frame pushes out the oldest: the average is now over 2..44.
  const auto next = flatSpectrum(44.0f);
  beats.analyse(next.data());
  history = beats.history(0);
  EXPECT_EQ(history.front(), 2.0f);
  EXPECT_EQ(history.back(), 44.0f);
}

TEST(BeatDetector, AverageSkipsUnfilledSlotsAndIgnoresTheCurrentFrame) {
  BeatDetector beats;
  const auto low = flatSpectrum(1.0f);
  const auto high = flatSpectrum(3.0f);
  beats.analyse(low.data());
  beats.analyse(high.data());  // average of {1} = 1 -> beat
  EXPECT_EQ(beats.beatFlags[0], 1);
  const auto middle = flatSpectrum(2.9f);
  beats.analyse(middle.data());  // average of {1, 3} = 2, 2.9 > 2.8 -> beat
  EXPECT_EQ(beats.beatFlags[0], 1);
  const auto flat = flatSpectrum(3.0f);
  beats.analyse(flat.data());  // average of {1, 3, 2.9} = 2.3, 3 < 3.22
  EXPECT_EQ(beats.beatFlags[0], 0);
}

}  // namespace
