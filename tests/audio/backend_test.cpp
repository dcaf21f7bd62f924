#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

#include "audio/audio_backend.h"
#include "audio/music_player.h"
#include "test_tracks.h"

namespace {

using namespace std::chrono_literals;

// A 3-second MP3: silence, then a sine on bin 64 from 1 s to 2 s, then silence.
std::string toneFile() {
  static const std::string path = [] {
    const std::string file = tempPath("backend-tone.mp3");
    std::vector<float> mono(44100 * 3, 0.0f);
    const double w = 2.0 * M_PI * binFrequency(64) / 44100.0;
    for (size_t i = 44100; i < 88200; ++i) mono[i] = 0.9f * static_cast<float>(std::sin(w * i));
    writeMp3(file, mono, 44100, 2);
    return file;
  }();
  return path;
}

float spectrumPeak(AudioBackend& backend, AudioHandle handle) {
  float bins[1024];
  std::fill(bins, bins + 1024, -1.0f);
  backend.spectrum(handle, bins);
  return *std::max_element(bins, bins + 1024);
}

TEST(OfflineBackend, SpectrumFollowsTheSetPositionAndIgnoresVolume) {
  auto audible = makeOfflineAudioBackend();
  auto muted = makeOfflineAudioBackend();
  ASSERT_TRUE(audible->init(44100));
  ASSERT_TRUE(muted->init(44100));
  MusicPlayer a, m;
  ASSERT_EQ(a.loadMusic(*audible, toneFile()), 0) << audible->lastError();
  ASSERT_EQ(m.loadMusic(*muted, toneFile()), 0) << muted->lastError();

  audible->setPositionMs(1500);
  EXPECT_EQ(spectrumPeak(*audible, a.channel()), 0.0f) << "before play the samples are zero";
  EXPECT_EQ(audible->positionMs(a.channel()), 0.0);
  audible->setPositionMs(0);
  muted->setPositionMs(0);
  startMusic(*audible, a, true);
  startMusic(*muted, m, false);
  for (double ms : {500.0, 1500.0, 1990.0, 2500.0, 60000.0}) {
    audible->setPositionMs(ms);
    muted->setPositionMs(ms);
    float x[1024], y[1024];
    audible->spectrum(a.channel(), x);
    muted->spectrum(m.channel(), y);
    EXPECT_TRUE(std::equal(x, x + 1024, y)) << ms;
    EXPECT_NEAR(audible->positionMs(a.channel()), ms, 0.05);
  }
  audible->setPositionMs(1500);
  EXPECT_NEAR(spectrumPeak(*audible, a.channel()), 0.45f, 0.05f);
  audible->setPositionMs(60000);
  EXPECT_EQ(spectrumPeak(*audible, a.channel()), 0.0f) << "after the end the samples are zero";
  ASSERT_NE(audible->track(a.channel()), nullptr);
  EXPECT_EQ(audible->track(a.channel())->frames(), 44100u * 3);
}

TEST(OfflineBackend, ChannelStartedLateCountsFromItsStartAndUnknownHandlesAreInert) {
  auto backend = makeOfflineAudioBackend();
  ASSERT_TRUE(backend->init(44100));
  const AudioHandle h = backend->openStream(toneFile());
  ASSERT_NE(h, 0u);
  backend->setPositionMs(10000);
  backend->start();
  backend->play(h);
  backend->setPositionMs(11500);
  EXPECT_NEAR(backend->positionMs(h), 1500.0, 0.05);
  float bins[1024];
  std::fill(bins, bins + 1024, 3.0f);
  backend->spectrum(h + 1, bins);
  backend->spectrum(0, bins);
  EXPECT_EQ(bins[0], 3.0f);
  EXPECT_EQ(backend->track(0), nullptr);
  EXPECT_EQ(backend->positionMs(h + 1), 0.0);
  backend->release();
  backend->release();
  EXPECT_EQ(backend->track(h), nullptr);
}

TEST(NullBackend, OpensReadableFilesOnlyAndStaysSilent) {
  auto backend = makeNullAudioBackend();
  ASSERT_TRUE(backend->init(44100));
  EXPECT_EQ(backend->openStream(tempPath("absent.mp3")), 0u);
  EXPECT_NE(backend->lastError().find("absent.mp3"), std::string::npos);
  const AudioHandle h = backend->openModule(toneFile());
  ASSERT_NE(h, 0u);
  EXPECT_TRUE(backend->lastError().empty());
  backend->start();
  backend->play(h);
  EXPECT_EQ(spectrumPeak(*backend, h), 0.0f);
  EXPECT_EQ(backend->track(h), nullptr);
}

// Each device test picks its SDL driver; SDL reads it when audio starts.
class DeviceBackend : public ::testing::Test {
 protected:
  void useDriver(const char* name) { setenv("SDL_AUDIODRIVER", name, 1); }
  void TearDown() override { unsetenv("SDL_AUDIODRIVER"); }
};

TEST_F(DeviceBackend, PositionAdvancesInRealTimeUnderTheDummyDriver) {
  useDriver("dummy");
  auto backend = makeDeviceAudioBackend();
  testing::internal::CaptureStderr();
  ASSERT_TRUE(backend->init(44100));
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  MusicPlayer music;
  ASSERT_EQ(music.loadMusic(*backend, toneFile()), 0) << backend->lastError();
  EXPECT_EQ(backend->positionMs(music.channel()), 0.0);
  const auto begin = std::chrono::steady_clock::now();
  startMusic(*backend, music, false);
  std::this_thread::sleep_for(1300ms);
  const double elapsed = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - begin).count();
  const double position = backend->positionMs(music.channel());
  // Generous: the dummy device paces itself with coarse sleeps.
  EXPECT_GT(position, 0.5 * elapsed);
  EXPECT_LT(position, 1.5 * elapsed);
  EXPECT_GT(spectrumPeak(*backend, music.channel()), 0.3f) << "muted, the tone is still seen";
  backend->stop();
  const double stopped = backend->positionMs(music.channel());
  std::this_thread::sleep_for(100ms);
  EXPECT_EQ(backend->positionMs(music.channel()), stopped);
  backend->release();
}

TEST_F(DeviceBackend, WithoutADeviceItWarnsOnceAndKeepsTime) {
  useDriver("no-such-audio-driver");
  auto backend = makeDeviceAudioBackend();
  testing::internal::CaptureStderr();
  ASSERT_TRUE(backend->init(44100));
  const std::string warning = testing::internal::GetCapturedStderr();
  EXPECT_EQ(std::count(warning.begin(), warning.end(), '\n'), 1) << warning;
  EXPECT_EQ(warning.rfind("brindle: ", 0), 0u) << warning;
  const AudioHandle h = backend->openStream(toneFile());
  ASSERT_NE(h, 0u);
  const auto begin = std::chrono::steady_clock::now();
  backend->start();
  backend->play(h);
  std::this_thread::sleep_for(300ms);
  const double elapsed = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - begin).count();
  EXPECT_GT(backend->positionMs(h), 250.0);
  EXPECT_LE(backend->positionMs(h), elapsed + 1.0);
  backend->release();
}

// The disk driver writes what the callback produced, so the mix can be checked.
std::vector<float> playToDisk(float volume, const std::string& outFile) {
  setenv("SDL_DISKAUDIOFILE", outFile.c_str(), 1);
  setenv("SDL_DISKAUDIODELAY", "1", 1);
  auto backend = makeDeviceAudioBackend();
  backend->init(44100);
  const AudioHandle h = backend->openStream(toneFile());
  backend->setVolume(h, volume);
  backend->start();
  backend->play(h);
  std::this_thread::sleep_for(400ms);
  backend->release();
  std::ifstream in(outFile, std::ios::binary);
  std::vector<char> raw((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::vector<float> samples(raw.size() / sizeof(float));
  std::memcpy(samples.data(), raw.data(), samples.size() * sizeof(float));
  return samples;
}

TEST_F(DeviceBackend, CallbackMixesTheTrackAtItsVolume) {
  useDriver("disk");
  auto reference = makeOfflineAudioBackend();
  reference->init(44100);
  const DecodedTrack& track = *reference->track(reference->openStream(toneFile()));

  const auto half = playToDisk(0.5f, tempPath("half.raw"));
  ASSERT_GT(half.size(), 2u * 44100 * 3 / 2) << "the disk driver should have run past the tone";
  // The output is the track from some block boundary on, scaled by 0.5.
  const auto start = std::find_if(half.begin(), half.end(), [](float v) { return v != 0.0f; });
  ASSERT_NE(start, half.end());
  const size_t first = static_cast<size_t>(start - half.begin());
  const auto trackStart = std::find_if(track.samples.begin(), track.samples.end(), [](float v) { return v != 0.0f; });
  const size_t offset = static_cast<size_t>(trackStart - track.samples.begin());
  ASSERT_GE(first, offset);
  for (size_t i = 0; i < 20000 && first + i < half.size(); ++i) {
    ASSERT_FLOAT_EQ(half[first + i], 0.5f * track.samples[offset + i]) << i;
  }

  const auto silent = playToDisk(0.0f, tempPath("silent.raw"));
  EXPECT_GT(silent.size(), 2u * 44100);
  EXPECT_TRUE(std::all_of(silent.begin(), silent.end(), [](float v) { return v == 0.0f; }));
}

}  // namespace
