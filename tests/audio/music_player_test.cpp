#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "audio/music_player.h"

namespace {

// Records the calls the player makes; opens succeed unless told otherwise.
class RecordingBackend final : public AudioBackend {
 public:
  std::vector<std::string> calls;
  bool failOpens = false;
  std::string error = "music file 'x' not found";

  bool init(int) override { return true; }
  AudioHandle openStream(const std::string& path) override {
    calls.push_back("stream " + path);
    return failOpens ? 0 : 7;
  }
  AudioHandle openModule(const std::string& path) override {
    calls.push_back("module " + path);
    return failOpens ? 0 : 9;
  }
  void setVolume(AudioHandle h, float v) override { calls.push_back("volume " + std::to_string(h) + " " + std::to_string(v)); }
  void start() override { calls.push_back("start"); }
  void play(AudioHandle h) override { calls.push_back("play " + std::to_string(h)); }
  void spectrum(AudioHandle, float*) override {}
  void stop() override {}
  void release() override {}
  double positionMs(AudioHandle) const override { return 0.0; }
  const DecodedTrack* track(AudioHandle) const override { return nullptr; }
  const std::string& lastError() const override { return error; }
};

TEST(MusicPlayer, NamesContainingMp3InAnyCaseAreStreams) {
  EXPECT_TRUE(isStreamName("Data/music.mp3"));
  EXPECT_TRUE(isStreamName("X.Mp3"));
  EXPECT_TRUE(isStreamName("mP3"));
  EXPECT_FALSE(isStreamName("song.xm"));
  EXPECT_FALSE(isStreamName("m p3.mod"));
  EXPECT_FALSE(isStreamName(""));
}

TEST(MusicPlayer, LoadRoutesByNameAndKeepsTheGivenSpelling) {
  RecordingBackend backend;
  MusicPlayer stream;
  EXPECT_EQ(stream.loadMusic(backend, "Data/Music.Mp3"), 0);
  EXPECT_EQ(stream.kind, MusicPlayer::kStream);
  EXPECT_EQ(stream.streamHandle, 7u);
  EXPECT_EQ(stream.moduleHandle, 0u);
  EXPECT_EQ(stream.channel(), 7u);

  MusicPlayer module;
  EXPECT_EQ(module.loadMusic(backend, "song.xm"), 0);
  EXPECT_EQ(module.kind, MusicPlayer::kModule);
  EXPECT_EQ(module.moduleHandle, 9u);
  EXPECT_EQ(module.channel(), 9u);
  EXPECT_EQ(backend.calls, (std::vector<std::string>{"stream Data/Music.Mp3", "module song.xm"}));
}

TEST(MusicPlayer, FailedLoadLeavesKindAndReportsMinusOne) {
  RecordingBackend backend;
  MusicPlayer music;
  EXPECT_EQ(music.loadMusic(backend, "song.xm"), 0);
  backend.failOpens = true;
  EXPECT_EQ(music.loadMusic(backend, "other.mp3"), -1);
  EXPECT_EQ(music.streamHandle, 0u);
  EXPECT_EQ(music.kind, MusicPlayer::kModule);
  EXPECT_EQ(music.channel(), 9u);
}

TEST(MusicPlayer, StartMutesBeforePlayingOnlyWhenMusicIsOff) {
  RecordingBackend muted;
  MusicPlayer music;
  music.loadMusic(muted, "a.mp3");
  muted.calls.clear();
  startMusic(muted, music, false);
  EXPECT_EQ(muted.calls, (std::vector<std::string>{"volume 7 0.000000", "start", "play 7"}));

  RecordingBackend audible;
  audible.calls.clear();
  startMusic(audible, music, true);
  EXPECT_EQ(audible.calls, (std::vector<std::string>{"start", "play 7"}));
}

}  // namespace
