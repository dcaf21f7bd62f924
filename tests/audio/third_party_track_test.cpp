#include <gtest/gtest.h>

#include <filesystem>

#include "audio/audio_backend.h"
#include "audio/beat_detector.h"
#include "audio/music_player.h"

// A module from Debian's tecnoballz-data package, played muted through the
// offline back end at 60 frames a second for 30 s.
TEST(ThirdPartyTrack, DebianModulePlaysAndDrivesBeats)
{
    const std::string module = "/usr/share/games/tecnoballz/musics/tecnoballz.mod";
    if (!std::filesystem::exists(module))
        GTEST_SKIP() << "needs Debian's tecnoballz-data package";
    auto backend = makeOfflineAudioBackend();
    MusicPlayer music;
    ASSERT_TRUE(backend->init(44100));
    ASSERT_EQ(music.loadMusic(*backend, module), 0) << backend->lastError();
    EXPECT_EQ(music.kind, MusicPlayer::kModule);
    startMusic(*backend, music, false);
    BeatDetector detector;
    int beats = 0;
    for (int frame = 0; frame < 30 * 60; ++frame) {
        const auto ms = static_cast<uint32_t>(frame * 1000 / 60);
        backend->setPositionMs(ms);
        detector.updateBeats(*backend, music, ms);
        beats += detector.beatFlags[0];
    }
    // A song with a beat: more than one hit every few seconds, far fewer than one per frame.
    EXPECT_GT(beats, 10);
    EXPECT_LT(beats, 30 * 60 / 4);
}
