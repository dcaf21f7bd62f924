#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "audio/spectrum.h"
#include "test_tracks.h"

namespace {

std::array<float, 1024> spectrumAt(const DecodedTrack& track, int64_t endFrame) {
  std::array<float, 1024> out;
  out.fill(-1.0f);
  computeSpectrum(track, endFrame, out.data());
  return out;
}

TEST(Spectrum, SineCentredOnBinPeaksThereAtHalfScale) {
  const double w = 2.0 * M_PI * binFrequency(64) / 44100.0;
  const auto track = makeTrack(4096, [&](size_t i) { return static_cast<float>(std::sin(w * i)); });
  const auto bins = spectrumAt(track, 4096);
  const auto peak = std::max_element(bins.begin(), bins.end()) - bins.begin();
  EXPECT_EQ(peak, 64);
  EXPECT_NEAR(bins[64], 0.5f, 0.01f);
  // The Hann window spreads the line into its two neighbours only.
  EXPECT_NEAR(bins[63], 0.25f, 0.01f);
  EXPECT_NEAR(bins[65], 0.25f, 0.01f);
  EXPECT_LT(bins[70], 0.001f);
  EXPECT_LT(bins[10], 0.001f);
}

TEST(Spectrum, FullScaleDcReadsOneInBinZero) {
  const auto bins = spectrumAt(makeTrack(2048, [](size_t) { return 1.0f; }), 2048);
  EXPECT_NEAR(bins[0], 1.0f, 1e-4f);
  EXPECT_NEAR(bins[1], 0.5f, 1e-4f);
  EXPECT_LT(*std::max_element(bins.begin() + 2, bins.end()), 1e-4f);
}

TEST(Spectrum, SilenceAndFramesOutsideTheTrackReadZero) {
  const auto silent = spectrumAt(makeTrack(4096, [](size_t) { return 0.0f; }), 3000);
  EXPECT_TRUE(std::all_of(silent.begin(), silent.end(), [](float v) { return v == 0.0f; }));
  const auto dc = makeTrack(2048, [](size_t) { return 1.0f; });
  for (int64_t end : {int64_t{0}, int64_t{-5000}, int64_t{4096}, int64_t{1} << 40}) {
    const auto bins = spectrumAt(dc, end);
    EXPECT_TRUE(std::all_of(bins.begin(), bins.end(), [](float v) { return v == 0.0f; })) << "end " << end;
  }
}

TEST(Spectrum, WindowEndsAtTheGivenFrame) {
  // DC over frames [0, 2048): a window ending at frame 1024 sees the track only
  // in its second half, where the Hann window sums to a quarter of 2048.
  const auto dc = makeTrack(2048, [](size_t) { return 1.0f; });
  EXPECT_NEAR(spectrumAt(dc, 1024)[0], 0.5f, 1e-3f);
  EXPECT_NEAR(spectrumAt(dc, 3072)[0], 0.5f, 1e-3f);
  EXPECT_NEAR(spectrumAt(dc, 2048)[0], 1.0f, 1e-4f);
}

TEST(Spectrum, ChannelsAreMixedAsTheirMean) {
  DecodedTrack track = makeTrack(2048, [](size_t) { return 0.0f; });
  for (size_t i = 0; i < 2048; ++i) {
    track.samples[2 * i] = 1.0f;
    track.samples[2 * i + 1] = -0.5f;
  }
  EXPECT_NEAR(spectrumAt(track, 2048)[0], 0.25f, 1e-4f);
}

}  // namespace
