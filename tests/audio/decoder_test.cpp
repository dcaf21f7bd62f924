#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>

#include "audio/decoded_track.h"
#include "audio/spectrum.h"
#include "test_tracks.h"

namespace {

std::vector<float> sine(double frequency, int rate, size_t frames, float amplitude = 0.8f) {
  std::vector<float> out(frames);
  for (size_t i = 0; i < frames; ++i) out[i] = amplitude * static_cast<float>(std::sin(2.0 * M_PI * frequency * i / rate));
  return out;
}

int peakBin(const DecodedTrack& track, int64_t endFrame) {
  float bins[1024];
  computeSpectrum(track, endFrame, bins);
  return static_cast<int>(std::max_element(bins, bins + 1024) - bins);
}

TEST(Mp3Decoder, DecodesGaplessToTheEncodedLength) {
  const std::string path = tempPath("tone.mp3");
  const size_t frames = 44100 * 2 + 123;
  ASSERT_TRUE(writeMp3(path, sine(binFrequency(64), 44100, frames), 44100, 2));
  DecodedTrack track;
  std::string error;
  ASSERT_TRUE(decodeMp3File(path, track, error)) << error;
  EXPECT_EQ(track.sampleRate, 44100);
  EXPECT_EQ(track.channels, 2);
  EXPECT_EQ(track.frames(), frames);
  EXPECT_EQ(peakBin(track, 44100), 64);
  // No encoder delay in front: the tone is there in the first millisecond.
  EXPECT_GT(std::fabs(track.samples[2 * 20]), 0.05f);
}

TEST(Mp3Decoder, ResamplesMonoToStereoAtTheOutputRate) {
  const std::string path = tempPath("mono22.mp3");
  ASSERT_TRUE(writeMp3(path, sine(binFrequency(32), 22050, 22050), 22050, 1));
  DecodedTrack track;
  std::string error;
  ASSERT_TRUE(decodeMp3File(path, track, error)) << error;
  EXPECT_NEAR(static_cast<double>(track.frames()), 44100.0, 300.0);
  EXPECT_EQ(peakBin(track, 30000), 32);
  EXPECT_FLOAT_EQ(track.samples[2 * 5000], track.samples[2 * 5000 + 1]);
}

TEST(Mp3Decoder, TruncatedFileKeepsWhatDecoded) {
  const std::string whole = tempPath("whole.mp3");
  ASSERT_TRUE(writeMp3(whole, sine(440.0, 44100, 44100), 44100, 2));
  const auto size = std::filesystem::file_size(whole);
  const std::string half = tempPath("half.mp3");
  std::filesystem::copy_file(whole, half, std::filesystem::copy_options::overwrite_existing);
  std::filesystem::resize_file(half, size / 2);
  DecodedTrack track;
  std::string error;
  ASSERT_TRUE(decodeMp3File(half, track, error)) << error;
  EXPECT_GT(track.frames(), 15000u);
  EXPECT_LT(track.frames(), 30000u);
}

TEST(TrackDecoders, MissingCorruptAndNonFilesFailWithALineNamingTheFile) {
  const std::string missing = tempPath("no-such-music.mp3");
  const std::string corrupt = tempPath("corrupt.mp3");
  const std::string corruptModule = tempPath("corrupt.xm");
  const std::string empty = tempPath("empty.mod");
  ASSERT_TRUE(writeText(corrupt, std::string(20000, 'x')));
  ASSERT_TRUE(writeText(corruptModule, "this is not a tracker module\n"));
  ASSERT_TRUE(writeText(empty, ""));
  struct Case {
    std::string path;
    bool module;
    const char* words;
  } cases[] = {{missing, false, "not found"},
               {missing, true, "not found"},
               {corrupt, false, "MP3"},
               {corruptModule, true, "tracker module"},
               {empty, true, "tracker module"},
               {std::filesystem::temp_directory_path().string(), true, "not a regular file"}};
  for (const auto& c : cases) {
    DecodedTrack track;
    track.samples.assign(10, 1.0f);
    std::string error;
    const bool ok = c.module ? decodeModuleFile(c.path, track, error) : decodeMp3File(c.path, track, error);
    EXPECT_FALSE(ok) << c.path;
    EXPECT_TRUE(track.samples.empty()) << c.path;
    EXPECT_NE(error.find(c.path), std::string::npos) << error;
    EXPECT_NE(error.find(c.words), std::string::npos) << error;
    EXPECT_EQ(error.find('\n'), std::string::npos) << error;
  }
}

TEST(ModuleDecoder, RendersAModuleOnceThroughWithItsHits) {
  const std::string path = tempPath("kicks.mod");
  ASSERT_TRUE(writeFile(path, makeKickModule()));
  DecodedTrack track;
  std::string error;
  ASSERT_TRUE(decodeModuleFile(path, track, error)) << error;
  const double seconds = static_cast<double>(track.frames()) / 44100.0;
  EXPECT_NEAR(seconds, kModuleSeconds, 0.5);
  // Loud just after each hit, quiet just before the next.
  auto level = [&](double at) {
    const size_t first = static_cast<size_t>(at * 44100);
    float peak = 0.0f;
    for (size_t i = first; i < first + 2000 && i < track.frames(); ++i) peak = std::max(peak, std::fabs(track.samples[2 * i]));
    return peak;
  };
  for (int hit = 0; hit < 4; ++hit) {
    EXPECT_GT(level(hit * kModuleHitSeconds + 0.01), 0.05f) << "hit " << hit;
    EXPECT_LT(level(hit * kModuleHitSeconds + 1.5), 0.01f) << "hit " << hit;
  }
}

TEST(ModuleDecoder, HostileBytesAreRefusedOrRenderedSafely) {
  auto bytes = makeKickModule();
  // Sample length claims far more data than the file holds; patterns point past the end.
  bytes[20 + 22] = 0xFF;
  bytes[20 + 23] = 0xFF;
  bytes[20 + 31 * 30 + 2] = 0x7F;
  for (size_t cut : {bytes.size(), size_t{1084}, size_t{600}, size_t{30}}) {
    const std::string path = tempPath("hostile.mod");
    ASSERT_TRUE(writeFile(path, std::vector<uint8_t>(bytes.begin(), bytes.begin() + static_cast<long>(cut))));
    DecodedTrack track;
    std::string error;
    if (decodeModuleFile(path, track, error)) {
      EXPECT_LE(track.frames(), static_cast<size_t>(kMaxTrackSeconds * 44100));
    } else {
      EXPECT_NE(error.find(path), std::string::npos);
    }
  }
}

}  // namespace
