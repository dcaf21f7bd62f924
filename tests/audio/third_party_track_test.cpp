#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>

#include "audio/audio_backend.h"
#include "audio/beat_detector.h"
#include "audio/music_player.h"
#include "test_tracks.h"

namespace {

// A module from Debian's tecnoballz-data package: written by others, in a
// format our own tests do not produce (samples, effects, several channels).
const char* kThirdPartyModule = "/usr/share/games/tecnoballz/musics/tecnoballz.mod";

// Plays `path` muted through the offline back end at 60 frames per second
// for `seconds` and returns the show times (ms) of the frames with a beat.
std::vector<uint32_t> beatsOver(const std::string& path, double seconds, MusicPlayer& music) {
  std::vector<uint32_t> beats;
  auto backend = makeOfflineAudioBackend();
  if (!backend->init(44100) || music.loadMusic(*backend, path) != 0) {
    ADD_FAILURE() << backend->lastError();
    return beats;
  }
  startMusic(*backend, music, false);
  BeatDetector detector;
  for (int frame = 0; frame < seconds * 60; ++frame) {
    const auto ms = static_cast<uint32_t>(frame * 1000 / 60);
    backend->setPositionMs(ms);
    detector.updateBeats(*backend, music, ms);
    if (detector.beatFlags[0]) beats.push_back(ms);
  }
  return beats;
}

TEST(ThirdPartyTrack, DebianModulePlaysAndDrivesBeats) {
  if (!std::filesystem::exists(kThirdPartyModule)) GTEST_SKIP() << "needs Debian's tecnoballz-data package";
  MusicPlayer music;
  const auto beats = beatsOver(kThirdPartyModule, 30.0, music);
  EXPECT_EQ(music.kind, MusicPlayer::kModule);
  // A song with a beat: more than one hit every few seconds, far fewer than one per frame.
  EXPECT_GT(beats.size(), 10u);
  EXPECT_LT(beats.size(), 30u * 60 / 4);
}

TEST(OwnModule, KicksOfAModuleWeWroteAreDetected) {
  const std::string path = tempPath("beats.mod");
  ASSERT_TRUE(writeFile(path, makeKickModule()));
  MusicPlayer music;
  const auto beats = beatsOver(path, kModuleSeconds, music);
  EXPECT_EQ(music.kind, MusicPlayer::kModule);
  // Every hit raises the flag within two frames; every flagged frame belongs
  // to the onset of a hit, never to the quiet between hits.
  for (int hit = 0; hit < 4; ++hit) {
    const double onset = hit * kModuleHitSeconds * 1000.0;
    EXPECT_TRUE(std::any_of(beats.begin(), beats.end(), [&](uint32_t ms) { return ms >= onset && ms <= onset + 34.0; }))
        << "hit " << hit;
  }
  for (uint32_t ms : beats) {
    const double sinceHit = std::fmod(ms, kModuleHitSeconds * 1000.0);
    EXPECT_LT(sinceHit, 150.0) << "beat at " << ms << " ms";
  }
}

}  // namespace
