// A frame clock locked to the music: its count is the playback position of
// the music's channel, so the picture cannot drift away from what is heard.
//
// Use in place of the ticker clock once the music is loaded:
//   PlaybackClock clock(*app.audio, app.music);
//   clock.start();  startMusic(...);   // the count is 0 until sound is heard
// The count follows AudioBackend::positionMs, which the device back end
// interpolates between audio callbacks and which never moves backwards.
// Without a channel (no music loaded) it counts the steady clock instead, and
// if the position stops moving for `stallLimitMs` while the clock runs (a
// device that stopped pulling samples) it carries on with the steady clock
// from where it stood, so the show never freezes on a stuck device.
#pragma once

#include <chrono>
#include <cstdint>

#include "app/frame_clock.h"
#include "audio/audio_backend.h"
#include "audio/music_player.h"

class PlaybackClock : public FrameClock {
public:
    PlaybackClock(const AudioBackend& backend, const MusicPlayer& music, uint32_t stallLimitMs = 1000)
        : backend_(backend)
        , music_(music)
        , stallLimit_(stallLimitMs)
    {
    }
    bool start() override;
    void stop() override;
    uint32_t tickCount() const override;
    // False once the clock has given up on a stalled position.
    bool followsMusic() const { return following_; }

private:
    using Steady = std::chrono::steady_clock;
    uint32_t liveCount() const;
    uint32_t steadyCount(Steady::time_point now) const;

    const AudioBackend& backend_;
    const MusicPlayer& music_;
    std::chrono::milliseconds stallLimit_;
    bool running_ = false;
    uint32_t stoppedCount_ = 0;
    // tickCount() is const for the loop; following the position updates these.
    mutable bool following_ = true;
    mutable double lastPositionMs_ = 0.0;
    mutable Steady::time_point lastProgress_ {};
    mutable uint32_t steadyBase_ = 0;
    mutable Steady::time_point steadyOrigin_ {};
};
