// Show time that follows the music's playback position.
#include "app/playback_clock.h"

#include <algorithm>
#include <chrono>
#include <cmath>

namespace {

double steadyNowMs()
{
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    return std::chrono::duration<double, std::milli>(now).count();
}

}  // namespace

PlaybackClock::PlaybackClock(AudioBackend& backend, const MusicPlayer& music, SteadyMs steadyMs)
    : backend_(backend)
    , music_(music)
    , steadyMs_(steadyMs ? std::move(steadyMs) : SteadyMs(steadyNowMs))
{
}

bool PlaybackClock::start()
{
    previousTicks = 0;
    show_ = 0.0;
    lastNow_ = lastMove_ = startedAt_ = steadyMs_();
    lastPosition_ = 0.0;
    heardYet_ = false;
    moving_ = false;
    settling_ = true;
    relocking_ = false;
    maxDriftMs_ = longestRelockMs_ = 0.0;
    lastRead_ = -1.0;
    leadSamples_.fill(0.0);
    leadCount_ = 0;
    leadMs_ = 0.0;
    paused_ = false;
    running_ = true;
    return true;
}

void PlaybackClock::stop()
{
    if (running_)
        follow(steadyMs_());
    running_ = false;
}

double PlaybackClock::showMs() const
{
    if (running_) {
        lastRead_ = steadyMs_();
        follow(lastRead_);
    }
    return show_;
}

// The nearest whole millisecond: flooring would show every frame half a millisecond early.
uint32_t PlaybackClock::tickCount() const { return static_cast<uint32_t>(std::llround(showMs())); }

void PlaybackClock::frameDone()
{
    if (lastRead_ < 0.0)
        return;
    leadSamples_[leadCount_++ % kLeadFrames] = std::clamp(steadyMs_() - lastRead_, 0.0, kMaxLeadMs);
    lastRead_ = -1.0;
    // A median over the window, counting the frames not yet seen as 0: the
    // first frames (shaders compiled on first use) and a later hitch are
    // outvoted by the steady ones.
    std::array<double, kLeadFrames> sorted = leadSamples_;
    std::nth_element(sorted.begin(), sorted.begin() + kLeadFrames / 2, sorted.end());
    // A lead that moves by more than the lock's width is joined as after a jump, not slewed to.
    if (std::fabs(sorted[kLeadFrames / 2] - leadMs_) > kLockedMs && !relocking_)
        settling_ = true;
    leadMs_ = sorted[kLeadFrames / 2];
}

void PlaybackClock::pause()
{
    if (!running_ || paused_)
        return;
    follow(steadyMs_());
    paused_ = true;
    backend_.stop();
}

void PlaybackClock::resume()
{
    if (!running_ || !paused_)
        return;
    backend_.start();
    paused_ = false;
    lastNow_ = lastMove_ = steadyMs_();
    const AudioHandle channel = music_.channel();
    lastPosition_ = channel ? backend_.positionMs(channel) : 0.0;
}

void PlaybackClock::jumpTo(uint32_t ms)
{
    if (!running_)
        return;
    const AudioHandle channel = music_.channel();
    if (channel)
        backend_.seek(channel, musicFor(ms));
    show_ = ms;
    lastNow_ = lastMove_ = steadyMs_();
    lastPosition_ = channel ? backend_.positionMs(channel) : 0.0;
    settling_ = true;
    relocking_ = false;
}

std::optional<AudioSync> PlaybackClock::audioSync() const { return AudioSync {maxDriftMs_, longestRelockMs_}; }

void PlaybackClock::follow(double now) const
{
    const double dt = std::max(0.0, now - lastNow_);
    lastNow_ = now;
    if (paused_)
        return;
    const AudioHandle channel = music_.channel();
    const double position = channel ? backend_.positionMs(channel) : 0.0;
    if (channel && position != lastPosition_) {
        // A stall's end outranks a start's or a jump's wait: music that stood
        // (a sound server that came back, a jump made while it stood) is
        // brought to the picture, never waited for with the picture frozen.
        if (!moving_ && heardYet_) {
            relocking_ = true;
            settling_ = false;
            stallEnded_ = now;
        }
        moving_ = true;
        lastMove_ = now;
        lastPosition_ = position;
    } else if (now - lastMove_ > kStallMs) {
        moving_ = false;
    }
    if (!moving_) {
        // At the start the picture waits for the first sound, which a server
        // may take a moment to play; a device that never plays is waited for
        // only so long.
        if (!heardYet_ && now - startedAt_ < kFirstSoundWaitMs)
            return;
        show_ += dt;
        return;
    }
    heardYet_ = true;

    const double aim = aimFor(position);
    if (settling_) {
        // Nothing to slew from yet: wait for the music, or join it.
        show_ = std::max(show_, aim);
    } else if (std::fabs(aim - (show_ + dt)) > kResyncMs) {
        // Slewing would take too long: the music skips to the picture.
        backend_.seek(channel, musicFor(show_ + dt));
        lastPosition_ = backend_.positionMs(channel);
        show_ += dt;
        return;
    } else {
        show_ += std::clamp(aim - show_, dt * (1.0 - kSlew), dt * (1.0 + kSlew));
    }

    const double gap = std::fabs(aim - show_);
    if (gap <= kLockedMs && (settling_ || relocking_)) {
        if (relocking_)
            longestRelockMs_ = std::max(longestRelockMs_, now - stallEnded_);
        settling_ = relocking_ = false;
    } else if (!settling_ && !relocking_) {
        maxDriftMs_ = std::max(maxDriftMs_, gap);
    }
}
