// Show time taken from the music's playback position.
#include "audio/playback_clock.h"

#include <cmath>

bool PlaybackClock::start() {
  previousTicks = 0;
  stoppedCount_ = 0;
  origin_ = std::chrono::steady_clock::now();
  running_ = true;
  return true;
}

void PlaybackClock::stop() {
  if (!running_) return;
  stoppedCount_ = liveCount();
  running_ = false;
}

uint32_t PlaybackClock::tickCount() const { return running_ ? liveCount() : stoppedCount_; }

uint32_t PlaybackClock::liveCount() const {
  const AudioHandle channel = music_.channel();
  if (channel == 0) {
    const auto elapsed = std::chrono::steady_clock::now() - origin_;
    return static_cast<uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count());
  }
  return static_cast<uint32_t>(std::floor(backend_.positionMs(channel)));
}
