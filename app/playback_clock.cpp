// Show time taken from the music's playback position.
#include "app/playback_clock.h"

#include <cmath>

bool PlaybackClock::start()
{
    previousTicks = 0;
    stoppedCount_ = 0;
    following_ = true;
    lastPositionMs_ = 0.0;
    steadyBase_ = 0;
    steadyOrigin_ = lastProgress_ = Steady::now();
    running_ = true;
    return true;
}

void PlaybackClock::stop()
{
    if (!running_)
        return;
    stoppedCount_ = liveCount();
    running_ = false;
}

uint32_t PlaybackClock::tickCount() const { return running_ ? liveCount() : stoppedCount_; }

uint32_t PlaybackClock::steadyCount(Steady::time_point now) const
{
    const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(now - steadyOrigin_);
    return steadyBase_ + static_cast<uint32_t>(elapsed.count());
}

uint32_t PlaybackClock::liveCount() const
{
    const auto now = Steady::now();
    const AudioHandle channel = music_.channel();
    if (channel == 0 || !following_)
        return steadyCount(now);
    const double position = backend_.positionMs(channel);
    if (position > lastPositionMs_) {
        lastPositionMs_ = position;
        lastProgress_ = now;
    } else if (now - lastProgress_ > stallLimit_) {
        following_ = false;
        steadyBase_ = static_cast<uint32_t>(std::floor(position));
        steadyOrigin_ = now;
        return steadyBase_;
    }
    return static_cast<uint32_t>(std::floor(position));
}
