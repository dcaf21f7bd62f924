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
    lastAt_ = lastMove_ = startedAt_ = steadyMs_();
    lastPosition_ = 0.0;
    heardYet_ = false;
    moving_ = false;
    settling_ = true;
    relocking_ = holding_ = false;
    sync_ = {};
    lastRead_ = lastSeenMs_ = lastDone_ = -1.0;
    frameIntervals_.clear();
    frameIntervalMs_ = 0.0;
    readToSwap_.clear();
    swapToSeen_.clear();
    vblankSteps_.clear();
    readToSwapMs_ = swapToSeenMs_ = refreshMs_ = vblankStepMs_ = leadMs_ = 0.0;
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
        const double now = steadyMs_();
        // Both reads of a frame aim at the same vblank.
        if (lastRead_ < 0.0 || !frameLocked_)
            frameAt_ = aimedAt(now);
        lastRead_ = now;
        follow(now);
    }
    return show_;
}

double PlaybackClock::aimedAt(double now) const
{
    // Counting many periods on from an old vblank would add up the period's
    // error (after a pause, say): until the compositor tells afresh, the
    // frame is aimed as where nothing tells.
    frameLocked_ = displayLocked() && now - lastSeenMs_ < kFreshVblanks * vblankStepMs_;
    if (!frameLocked_)
        return now;
    const double steps = std::max(1.0, std::round((now + leadMs_ - lastSeenMs_) / vblankStepMs_));
    return lastSeenMs_ + steps * vblankStepMs_;
}

// The nearest whole millisecond: flooring would show every frame half a millisecond early.
uint32_t PlaybackClock::tickCount() const { return static_cast<uint32_t>(std::llround(showMs())); }

void PlaybackClock::frameDone()
{
    const double now = steadyMs_();
    if (lastDone_ >= 0.0)
        frameIntervalMs_ = frameIntervals_.add(std::clamp(now - lastDone_, 0.0, kMaxSeenMs));
    lastDone_ = now;
    if (lastRead_ < 0.0)
        return;
    // Medians, counting the frames not yet seen as 0: the first frames
    // (shaders compiled on first use) and a later hitch are outvoted by the steady ones.
    readToSwapMs_ = readToSwap_.add(std::clamp(now - lastRead_, 0.0, kMaxLeadMs));
    lastRead_ = -1.0;
    const double lead = readToSwapMs_ + swapToSeenMs_;
    // Without the compositor's word the read-to-swap time is the whole lead,
    // and a change in it is joined as after a jump; a display that paces the
    // frames only needs it to choose the vblank, and slewing takes the rest.
    if (swapToSeen_.count() == 0 && std::fabs(lead - leadMs_) > kLockedMs && !relocking_)
        settling_ = true;
    leadMs_ = lead;
}

void PlaybackClock::frameSeen(double swapMs, double seenMs, double refreshMs)
{
    swapToSeenMs_ = swapToSeen_.add(std::clamp(seenMs - swapMs, 0.0, kMaxSeenMs));
    // A step over one and a half periods spans a vblank that showed no new
    // frame; the median of the others is the display's own period, which a
    // nested or virtual output may keep longer than the refresh it declares.
    if (lastSeenMs_ >= 0.0 && refreshMs > 0.0) {
        const double step = seenMs - lastSeenMs_;
        if (step > 0.0 && step < 1.5 * std::max(refreshMs, vblankStepMs_))
            vblankStepMs_ = vblankSteps_.add(step);
    }
    if (vblankSteps_.count() < kLeadFrames / 2 + 1)
        vblankStepMs_ = refreshMs;
    refreshMs_ = refreshMs;
    lastSeenMs_ = seenMs;
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
    lastAt_ = lastMove_ = steadyMs_();
    lastSeenMs_ = -1.0;
    const AudioHandle channel = music_.channel();
    lastPosition_ = channel ? backend_.positionMs(channel) : 0.0;
}

void PlaybackClock::jumpTo(uint32_t ms)
{
    if (!running_)
        return;
    const AudioHandle channel = music_.channel();
    if (channel) {
        backend_.seek(channel, musicFor(ms));
        // Placing music not yet heard (--start) moves nothing a listener hears.
        if (heardYet_)
            ++sync_.musicSeeks;
    }
    show_ = ms;
    lastAt_ = lastMove_ = steadyMs_();
    lastSeenMs_ = -1.0;
    lastPosition_ = channel ? backend_.positionMs(channel) : 0.0;
    settling_ = true;
    relocking_ = holding_ = false;
}

std::optional<AudioSync> PlaybackClock::audioSync() const { return sync_; }

void PlaybackClock::follow(double now) const
{
    const double at = lastRead_ == now ? frameAt_ : now;
    const double dt = std::max(0.0, at - lastAt_);
    lastAt_ = std::max(lastAt_, at);
    if (paused_)
        return;
    const AudioHandle channel = music_.channel();
    const double position = channel ? backend_.positionMs(channel) : 0.0;
    if (channel && position != lastPosition_) {
        // Music that stood and plays again (a stalled device, a sound server
        // that came back) is followed from where it is; the wait a start or a
        // jump makes gives way to it, so the picture is never left frozen.
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

    const double aim = aimFor(position, at, now);
    if (settling_) {
        // Nothing to slew from yet: wait for the music, or join it.
        show_ = std::max(show_, aim);
    } else if (aim - (show_ + dt) > kResyncMs) {
        // Too far behind to catch up by slewing: the frames between are dropped.
        // Counted in frames of the loop's own pace: the time since the last
        // read may be a sliver (a read right after a resume).
        if (frameIntervalMs_ > 0.0)
            sync_.framesDropped += static_cast<uint64_t>((aim - show_ - dt) / frameIntervalMs_);
        show_ = aim;
        holding_ = false;
    } else if (holding_ || show_ - aim > kResyncMs) {
        // Too far ahead: the picture holds until the music reaches it.
        holding_ = show_ > aim;
        if (!holding_)
            show_ = aim;
    } else {
        show_ += std::clamp(aim - show_, dt * (1.0 - kSlew), dt * (1.0 + kSlew));
    }

    const double gap = std::fabs(aim - show_);
    if (gap <= kLockedMs && (settling_ || relocking_)) {
        if (relocking_)
            sync_.relockMs = std::max(sync_.relockMs, now - stallEnded_);
        settling_ = relocking_ = false;
    } else if (!settling_ && !relocking_) {
        sync_.maxDriftMs = std::max(sync_.maxDriftMs, gap);
    }
}
