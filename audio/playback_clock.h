// A frame clock locked to the music: its count is the playback position of
// the music's channel, so the picture cannot drift away from what is heard.
//
// Use in place of the ticker clock once the music is loaded:
//   PlaybackClock clock(*app.audio, app.music);
//   clock.start();  startMusic(...);   // the count is 0 until sound is heard
// The count follows AudioBackend::positionMs, which the device back end
// interpolates between audio callbacks and which never moves backwards.
// Without a channel (no music loaded) it counts the steady clock instead.
#pragma once

#include <chrono>
#include <cstdint>

#include "app/frame_clock.h"
#include "audio/audio_backend.h"
#include "audio/music_player.h"

class PlaybackClock : public FrameClock {
 public:
  PlaybackClock(const AudioBackend& backend, const MusicPlayer& music) : backend_(backend), music_(music) {}
  bool start() override;
  void stop() override;
  uint32_t tickCount() const override;

 private:
  uint32_t liveCount() const;

  const AudioBackend& backend_;
  const MusicPlayer& music_;
  std::chrono::steady_clock::time_point origin_{};
  bool running_ = false;
  uint32_t stoppedCount_ = 0;
};
