// The music player: files routed to a stream or a module by their name, a
// failed load, and muted music.
#include <gtest/gtest.h>

#include "audio/music_player.h"
#include "tests/support/fake_audio_backend.h"

namespace {

// Records the calls the player makes; opens succeed unless told otherwise.
class RecordingBackend final : public FakeAudioBackend {
public:
    std::vector<std::string> calls;
    bool failOpens = false;

    AudioHandle openStream(const std::string& path) override { return open("stream " + path, 7); }
    AudioHandle openModule(const std::string& path) override { return open("module " + path, 9); }
    void setVolume(AudioHandle h, float v) override
    {
        calls.push_back("volume " + std::to_string(h) + " " + std::to_string(v));
    }
    void start() override { calls.push_back("start"); }
    void play(AudioHandle h) override { calls.push_back("play " + std::to_string(h)); }

private:
    AudioHandle open(const std::string& call, AudioHandle handle)
    {
        calls.push_back(call);
        return failOpens ? 0 : handle;
    }
};

}  // namespace

TEST(MusicPlayer, RoutesByMp3InAnyCaseAFailedLoadKeepsTheKindAndMusicOffMutes)
{
    for (const auto& [name, mp3] : {std::pair {"Data/music.mp3", true}, {"X.Mp3", true}, {"mP3", true},
             {"song.xm", false}, {"m p3.mod", false}, {"", false}})
        EXPECT_EQ(isStreamName(name), mp3) << name;
    RecordingBackend backend;
    MusicPlayer stream, module;
    EXPECT_EQ(stream.loadMusic(backend, "Data/Music.Mp3"), 0);
    EXPECT_EQ(module.loadMusic(backend, "song.xm"), 0);
    EXPECT_EQ(backend.calls, (std::vector<std::string> {"stream Data/Music.Mp3", "module song.xm"}));
    EXPECT_EQ(std::pair(stream.kind, stream.channel()), std::pair(MusicPlayer::Kind::Stream, AudioHandle {7}));
    EXPECT_EQ(std::pair(module.kind, module.channel()), std::pair(MusicPlayer::Kind::Module, AudioHandle {9}));
    backend.failOpens = true;
    EXPECT_EQ(module.loadMusic(backend, "other.mp3"), -1);
    EXPECT_EQ(std::pair(module.kind, module.streamHandle), std::pair(MusicPlayer::Kind::Module, AudioHandle {0}));

    // Music off mutes the channel before it plays.
    RecordingBackend muted, audible;
    startMusic(muted, stream, false);
    startMusic(audible, stream, true);
    EXPECT_EQ(muted.calls, (std::vector<std::string> {"volume 7 0.000000", "start", "play 7"}));
    EXPECT_EQ(audible.calls, (std::vector<std::string> {"start", "play 7"}));
}
